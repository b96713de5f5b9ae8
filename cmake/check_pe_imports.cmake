# cmake -DOBJDUMP=<objdump> -DFILE=<exe or dll> -P check_pe_imports.cmake
# Fails when the PE file imports a DLL of the GCC / mingw runtime, or when its header does not
# name Windows 7 (subsystem version 6.1), the oldest Windows the program supports.
if(NOT OBJDUMP OR NOT FILE)
  message(FATAL_ERROR "check_pe_imports: OBJDUMP and FILE are required")
endif()
execute_process(COMMAND ${OBJDUMP} -p ${FILE}
  OUTPUT_VARIABLE dump RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "check_pe_imports: ${OBJDUMP} -p ${FILE} failed: ${errors}")
endif()
if(NOT dump MATCHES "MajorSubsystemVersion[ \t]+6[\r\n]" OR
   NOT dump MATCHES "MinorSubsystemVersion[ \t]+1[\r\n]")
  message(FATAL_ERROR "${FILE} does not name Windows 7 (subsystem version 6.1) in its header")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" names "${dump}")
set(runtime "")
foreach(entry IN LISTS names)
  string(REPLACE "DLL Name: " "" dll "${entry}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" lower)
  if(lower MATCHES "^lib(gcc|stdc\\+\\+|winpthread|ssp|atomic|gomp|quadmath)")
    list(APPEND runtime ${dll})
  endif()
endforeach()
if(runtime)
  message(FATAL_ERROR "${FILE} imports mingw runtime DLLs (${runtime}); link them statically")
endif()
