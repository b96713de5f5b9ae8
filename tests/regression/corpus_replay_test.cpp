// Every committed seed of every fuzz target still keeps the properties its target checks. The
// seeds are the valid files and edge inputs the fuzzers start from; replaying them here catches a
// change that breaks a property in the normal test run, without the fuzz build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_targets.h"

namespace veltra::fuzz {
namespace {

namespace fs = std::filesystem;

struct Target {
  const char* name;
  std::string (*check)(const std::uint8_t*, std::size_t);
};

constexpr Target kTargets[] = {
    {"firmware_file", CheckFirmwareFile},     {"fx3_boot_image", CheckFx3BootImage},
    {"device_ids", CheckDeviceIds},           {"device_connect", CheckDeviceConnect},
    {"capture_devices", CheckCaptureDevices}, {"usb_serial", CheckUsbSerial},
    {"nxp_reports", CheckNxpReports},         {"bench_records", CheckBenchRecords},
};

TEST(FuzzCorpus, EverySeedKeepsItsTargetsProperties) {
  for (const Target& target : kTargets) {
    const fs::path dir = fs::path(VELTRA_SOURCE_ROOT) / "fuzz" / "corpus" / target.name;
    ASSERT_TRUE(fs::is_directory(dir)) << dir;
    int seeds = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::vector<std::uint8_t> input{std::istreambuf_iterator<char>(in), {}};
      EXPECT_EQ(target.check(input.data(), input.size()), "") << entry.path();
      ++seeds;
    }
    EXPECT_GE(seeds, 3) << target.name << ": a corpus of a few seeds at least";
  }
}

}  // namespace
}  // namespace veltra::fuzz
