// The firmware file's refusals at their boundaries, and failed allocations: whatever is refused
// leaves no image of an earlier selection behind. The layout rules themselves are fuzzed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/firmware_image.h"
#include "image/image_internal.h"
#include "image_test_support.h"
#include "support/bench_fixture.h"
#include "support/firmware_files.h"

namespace veltra {
namespace {

using test::BenchTest;
using test::Bytes;
using test::PayloadBytes;
using test::Slice;

// Splits an exact-length copy, so that AddressSanitizer sees any read past the end.
int Split(const Bytes& file) {
  return SplitFirmwareFile(file.empty() ? nullptr : file.data(),
                           static_cast<std::uint32_t>(file.size()));
}

using FirmwareLayoutTest = BenchTest;

// A section one byte too long for the file, a marker with no room before it, a line the camera
// cannot take: refused, and nothing of the earlier selection is left to be sent.
TEST_F(FirmwareLayoutTest, RefusedFilesLeaveNoImageBehind) {
  const auto withLength = [](Bytes file, std::size_t at, std::uint32_t value) {
    fwgen::PutLe32(file, at, value);
    return file;
  };
  const Bytes fpga = test::FpgaFileBytes(100, 50);             // FPGA length at 8, kwipIMG at 112
  const Bytes mcu = test::McuFileBytes(2, 50, 50);             // MCU length at 7, kwipIMG at 111
  const Bytes combined = test::CombinedFileBytes(1, 100, 50);  // second marker at 113
  Bytes lonelyImg = {0x01};
  fwgen::AppendText(lonelyImg, "kwipIMG");
  fwgen::Append(lonelyImg, Bytes(20, 0x11));
  Bytes fpgaNoImg;
  fwgen::AppendText(fpgaNoImg, "kwipFPGA");
  fwgen::AppendLe32(fpgaNoImg, 4);
  fwgen::Append(fpgaNoImg, Bytes(4, 0x22));
  Bytes mcuNoImg;
  fwgen::AppendText(mcuNoImg, "kwipMCU");
  fwgen::AppendLe32(mcuNoImg, 2);
  fwgen::AppendText(mcuNoImg, "a\n");
  const Bytes combinedAtZero(combined.begin() + 1, combined.end());
  Bytes mcuLongLine = test::McuFile(test::McuText(1, 1024), PayloadBytes(10));

  struct Case {
    const char* name;
    Bytes file;
  };
  const std::vector<Case> cases = {
      {"single kwipIMG", lonelyImg},
      {"combined marker at offset 0", combinedAtZero},
      {"FPGA without kwipIMG", fpgaNoImg},
      {"MCU without kwipIMG", mcuNoImg},
      {"FPGA length past end", withLength(fpga, 8, 0xFFFFFFF0u)},
      {"FPGA file cut inside its length", Slice(fpga, 0, 10)},
      {"MCU length past end", withLength(mcu, 7, 200000)},
      {"image length one past end", withLength(fpga, 112 + 7, 51)},
      {"combined first past end", withLength(combined, fwgen::kCombinedFirstLengthAt, 5000)},
      {"combined second one past end", Slice(combined, 0, combined.size() - 1)},
      {"combined cut inside second length", Slice(combined, 0, 113 + 9)},
      {"MCU line of 1024 bytes", mcuLongLine},
      {"empty file", Bytes()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(Split(test::CombinedFileBytes(2)), 1);
    EXPECT_EQ(Split(c.file), 0);
    EXPECT_TRUE(test::ImageStateEmpty());
  }
}

// Either allocation of a file's two parts failing leaves no half-read image (and no leak).
TEST_F(FirmwareLayoutTest, AllocationFailuresLeaveNoImage) {
  struct Case {
    const char* name;
    Bytes file;
    int failAt;
  };
  const std::vector<Case> cases = {
      {"FPGA first part", test::FpgaFileBytes(), 1},
      {"FPGA second part", test::FpgaFileBytes(), 2},
      {"MCU first part", test::McuFileBytes(), 1},
      {"MCU second part", test::McuFileBytes(), 2},
      {"combined first", test::CombinedFileBytes(), 1},
      {"combined second", test::CombinedFileBytes(), 2},
      {"unmarked", test::UnmarkedFileBytes(), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetPayloadAllocator(nullptr);
    ASSERT_EQ(Split(test::McuFileBytes()), 1);
    test::FailAllocation(c.failAt);
    EXPECT_EQ(Split(c.file), 0);
    EXPECT_TRUE(test::ImageStateEmpty());
  }
}

}  // namespace
}  // namespace veltra
