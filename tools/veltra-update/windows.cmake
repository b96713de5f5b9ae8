# veltra-update-demo.exe (Windows presets): veltra-update's bench build for Windows, the console
# program's logic driving the program's dialog procedures against the virtual camera bench, with
# Windows' own SHA-256. The end-to-end stage runs it under Wine and checks its report against the
# schema. It is made of the same sources as the native bench build (tools/veltra-update).
add_executable(veltra-update-demo
  ${VELTRA_ROOT}/tools/veltra-update/main.cpp
  ${VELTRA_ROOT}/tools/veltra-update/bench_driver.cpp
  ${VELTRA_ROOT}/tools/veltra-update/bench_setup.cpp
  ${VELTRA_ROOT}/tools/console-dialog/console_dialog.cpp
  ${VELTRA_ROOT}/tools/veltra-mkfw/fwgen.cpp
  ${VELTRA_ROOT}/demo/bench_roster.cpp)
target_include_directories(veltra-update-demo PRIVATE ${VELTRA_ROOT}/tools)
target_link_options(veltra-update-demo PRIVATE -static -static-libgcc -static-libstdc++
  $<$<CONFIG:Release,MinSizeRel>:-s>)
target_link_libraries(veltra-update-demo PRIVATE veltra_console veltra_sim veltra_win32 veltra_app
  veltra_camera veltra_devices veltra_loaders veltra_dfu veltra_image veltra_core)
set_target_properties(veltra-update-demo PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELTRA_BINARY_ROOT}/demo)
veltra_check_pe_imports(veltra-update-demo)
