# cmake -DOBJDUMP=<objdump> -DFILE=<exe> -DPE32=<ON|OFF> -P check_pe_console.cmake
# Fails when veltra-update.exe is not a console program (it must run in its caller's console and
# hand it its exit code), when the i686 build is not PE32, or when it lacks its asInvoker manifest.
if(NOT OBJDUMP OR NOT FILE)
  message(FATAL_ERROR "check_pe_console: OBJDUMP and FILE are required")
endif()
execute_process(COMMAND ${OBJDUMP} -p ${FILE}
  OUTPUT_VARIABLE dump RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "check_pe_console: ${OBJDUMP} -p ${FILE} failed: ${errors}")
endif()
if(NOT dump MATCHES "Subsystem[ \t]+00000003[ \t]+\\(Windows CUI\\)")
  message(FATAL_ERROR "${FILE} is not a console program (PE subsystem Windows CUI)")
endif()
if(PE32 AND NOT dump MATCHES "Magic[ \t]+010b[ \t]+\\(PE32\\)")
  message(FATAL_ERROR "${FILE} is not PE32")
endif()
# The manifest is stored as its text among the resources.
file(STRINGS ${FILE} levels REGEX "requestedExecutionLevel level=\"[A-Za-z]+\"")
if(NOT levels MATCHES "level=\"asInvoker\"")
  message(FATAL_ERROR "${FILE} does not carry its asInvoker manifest (found: ${levels})")
endif()
