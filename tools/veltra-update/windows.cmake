# veltra-update-demo.exe (Windows presets): veltra-update's Windows entry and window-less dialog
# host code with the virtual camera bench in place of Windows' devices: the bench's ports, clock
# and threads, and the bench's device changes sent to the product's hidden window. The
# end-to-end stage runs it under Wine and checks its report against the schema. Its driver is
# made of the same sources as the native bench build (tools/veltra-update).
add_executable(veltra-update-demo
  ${VELTRA_ROOT}/tools/veltra-update/demo_main_win32.cpp
  ${VELTRA_ROOT}/src/platform/win32/win32_main_update_entry.cpp
  ${VELTRA_ROOT}/tools/veltra-update/bench_driver.cpp
  ${VELTRA_ROOT}/tools/veltra-update/bench_setup.cpp
  ${VELTRA_ROOT}/tools/console-dialog/console_dialog.cpp
  ${VELTRA_ROOT}/tools/veltra-mkfw/fwgen.cpp
  ${VELTRA_ROOT}/demo/bench_roster.cpp)
target_include_directories(veltra-update-demo PRIVATE ${VELTRA_ROOT}/tools)
target_compile_options(veltra-update-demo PRIVATE -municode)
target_link_options(veltra-update-demo PRIVATE -municode -mconsole -static -static-libgcc
  -static-libstdc++ $<$<CONFIG:Release,MinSizeRel>:-s>)
target_link_libraries(veltra-update-demo PRIVATE veltra_console veltra_sim veltra_win32 veltra_app
  veltra_camera veltra_devices veltra_loaders veltra_dfu veltra_image veltra_core)
set_target_properties(veltra-update-demo PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELTRA_BINARY_ROOT}/demo)
veltra_check_pe_imports(veltra-update-demo)
