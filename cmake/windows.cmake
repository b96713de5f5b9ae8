# Windows targets (mingw-w64 presets): the product's executable and the check that what we ship
# needs no mingw runtime DLL beside it.

# veltra_check_pe_imports(<target>): after each link, fails the build when the target imports a
# DLL of the GCC / mingw runtime. The product is copied on its own onto machines that have none.
function(veltra_check_pe_imports target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DFILE=$<TARGET_FILE:${target}>
            -P ${VELTRA_ROOT}/cmake/check_pe_imports.cmake
    VERBATIM)
endfunction()

# veltra_console_executable(<name> <sources...>): veltra-update.exe, a console program (PE console
# subsystem, Unicode entry wmain) linked with the console logic, the program logic and the
# Windows adapters, with the same static runtime and import check as the dialog. The build also
# checks that it is PE32 (i686), a console program, and carries its asInvoker manifest.
function(veltra_console_executable name)
  if(NOT WIN32)
    message(FATAL_ERROR "veltra_console_executable(${name}) needs a Windows preset")
  endif()
  add_executable(${name} ${ARGN})
  target_compile_options(${name} PRIVATE -municode)
  target_link_options(${name} PRIVATE -municode -mconsole -static -static-libgcc -static-libstdc++
    $<$<CONFIG:Release,MinSizeRel>:-s>)
  target_link_libraries(${name} PRIVATE veltra_console veltra_win32 veltra_app veltra_camera
    veltra_devices veltra_loaders veltra_dfu veltra_image veltra_core ole32)
  veltra_check_pe_imports(${name})
  add_custom_command(TARGET ${name} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DFILE=$<TARGET_FILE:${name}>
            -DPE32=$<BOOL:$<EQUAL:${CMAKE_SIZEOF_VOID_P},4>>
            -P ${VELTRA_ROOT}/cmake/check_pe_console.cmake
    VERBATIM)
endfunction()

# veltra_windows_executable(<name> <sources...>): a Windows GUI program (PE GUI subsystem) with
# the Unicode entry wWinMain, linked with the program logic and the Windows adapters. libgcc,
# libstdc++ and winpthread are linked statically, whichever project calls this, so the executable
# imports system DLLs and OrloFWSW.dll only; the build checks that. The sources are the entry
# (win32_main*.cpp) and the resource script; link further libraries (the bench for the demo)
# with target_link_libraries(<name> PRIVATE ...).
function(veltra_windows_executable name)
  if(NOT WIN32)
    message(FATAL_ERROR "veltra_windows_executable(${name}) needs a Windows preset")
  endif()
  add_executable(${name} WIN32 ${ARGN})
  target_compile_options(${name} PRIVATE -municode)
  target_link_options(${name} PRIVATE -municode -mwindows -static -static-libgcc -static-libstdc++
    $<$<CONFIG:Release,MinSizeRel>:-s>)  # the static runtime brings its debug sections along
  target_link_libraries(${name} PRIVATE veltra_win32 veltra_app veltra_camera veltra_devices
    veltra_loaders veltra_dfu veltra_image veltra_core comctl32 comdlg32 gdi32 user32 ole32)
  veltra_check_pe_imports(${name})
endfunction()
