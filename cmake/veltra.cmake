# Helpers for the per-subsystem libraries. Each subsystem folder becomes one static library made
# of every .cpp in it, so adding a file needs no edit here.

# veltra_subsystem(<target> <folder> <deps...>): every source of the folder; deps are the
# libraries below it.
function(veltra_subsystem name dir)
  file(GLOB srcs CONFIGURE_DEPENDS ${VELTRA_ROOT}/${dir}/*.cpp)
  if(NOT srcs)
    # An empty subsystem still links: a static library needs one object.
    set(stub ${VELTRA_BINARY_ROOT}/stubs/${name}_empty.cpp)
    file(WRITE ${stub} "// intentionally empty\n")
    set(srcs ${stub})
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${VELTRA_ROOT} ${VELTRA_ROOT}/src)
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

# veltra_test(<target> <sources...>): a GoogleTest binary that links the whole program logic and
# the bench, registered with CTest.
function(veltra_test name)
  add_executable(${name} ${ARGN})
  target_precompile_headers(${name} REUSE_FROM veltra_test_support)
  target_link_libraries(${name} PRIVATE veltra_test_support veltra_sim veltra_app veltra_camera
    veltra_devices veltra_loaders veltra_dfu veltra_image veltra_core GTest::gtest_main)
  # Listed when ctest runs rather than after each link: the build never runs a test binary (a
  # sanitizer binary may need the environment the test script sets up), and builds are faster.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 DISCOVERY_MODE PRE_TEST)
endfunction()
