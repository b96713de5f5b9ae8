#include <gtest/gtest.h>

#include <string>

#include "image/firmware_image.h"
#include "image_test_support.h"
#include "support/bench_fixture.h"
#include "support/firmware_files.h"

namespace veltra {
namespace {

using test::Bytes;
using test::Version;
using ExampleFilesTest = test::BenchTest;

bool StampedWith(const Payload& payload, const Version& version) {
  Version found;
  return fwgen::ReadVersionStamp(payload.data, payload.length, &found) && found == version;
}

std::uint32_t Le32(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

TEST(VersionStamp, RoundTripsAndRefusesMalformedText) {
  const Version version{2, 255, 65535, 7};
  const Bytes stamp = fwgen::VersionStamp(version);
  EXPECT_EQ(std::string(stamp.begin(), stamp.end()), "FWVER 2.255.65535.7\n");
  Version read;
  ASSERT_TRUE(fwgen::ReadVersionStamp(stamp.data(), stamp.size(), &read));
  EXPECT_TRUE(read == version);
  for (const char* bad : {"1.2.3", "256.0.0.0", "1.2.3.65536", "1.2.3.4x", "1..2.3", ""}) {
    EXPECT_FALSE(fwgen::ParseVersion(bad, &read)) << bad;
  }
}

// The examples veltra-mkfw writes are read by the program as the kind their name says, and every
// payload carries the version, so a virtual camera can report what it received.
TEST_F(ExampleFilesTest, ExampleFilesSplitAsTheirKindWithStampedPayloads) {
  const Version version{3, 1, 4, 15};
  int seen = 0;
  for (const auto& file : fwgen::ExampleFiles(version)) {
    SCOPED_TRACE(file.name);
    const Bytes& b = file.bytes;
    if (file.name == "bootloader.img") {
      // "CY", then sections until the terminating one, all inside the file.
      ASSERT_EQ(std::string(b.begin(), b.begin() + 2), "CY");
      std::size_t at = 4;
      while (at + 8 <= b.size() && Le32(b, at) != 0) {
        at += 8 + 4 * std::size_t{Le32(b, at)};
      }
      ASSERT_LE(at + 8, b.size());
      EXPECT_EQ(Le32(b, at + 4), 0x40003000u);
      ++seen;
      continue;
    }
    if (file.name == "RT1060_Flashloader_nopadding.bin") {
      EXPECT_EQ(b.size(), 86272u);
      ++seen;
      continue;
    }
    ASSERT_EQ(SplitFirmwareFile(b.data(), static_cast<std::uint32_t>(b.size())), 1);
    EXPECT_TRUE(StampedWith(imagePart2, version));
    if (file.name == "nxp_firmware.bin") {
      EXPECT_EQ(g_imageType, 3);
    } else {
      EXPECT_TRUE(StampedWith(imagePart1, version));
      EXPECT_EQ(g_bFPGAImage, file.name == "fpga.img" ? 1 : 0);
      EXPECT_EQ(g_bMCUImage, file.name == "mcu.img" ? 1 : 0);
      if (file.name.rfind("combined_type", 0) == 0) {
        EXPECT_EQ(g_imageType, file.name[13] - '0');
      }
    }
    ++seen;
  }
  EXPECT_EQ(seen, 8);
}

}  // namespace
}  // namespace veltra
