// The fuzz targets' checks (fuzz/*.cpp), compiled into the regression tests without their libFuzzer
// entries, so that the inputs the fuzzers found, and the seed corpora, are replayed through exactly
// the code that judged them.
#define VELTRA_FUZZ_REPLAY 1

// NOLINTBEGIN(bugprone-suspicious-include): the targets are single files by design
#include "fuzz/bench_records.cpp"
#include "fuzz/capture_devices.cpp"
#include "fuzz/device_connect.cpp"
#include "fuzz/device_ids.cpp"
#include "fuzz/firmware_file.cpp"
#include "fuzz/fx3_boot_image.cpp"
#include "fuzz/nxp_reports.cpp"
#include "fuzz/usb_serial.cpp"
// NOLINTEND(bugprone-suspicious-include)
