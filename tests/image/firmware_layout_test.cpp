// Reading a firmware file: the refusals at their boundaries, each with its reason. What each kind
// gives is checked by the firmware_file fuzz target, whose seeds (one file of each kind) the
// regression tests replay.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/firmware_image.h"
#include "support/firmware_files.h"

namespace veltra {
namespace {

using test::Bytes;
using test::PayloadBytes;

Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t length) {
  return Bytes(bytes.begin() + offset, bytes.begin() + offset + length);
}

ParseResult Parse(const Bytes& file) {
  return ParseFirmwareBytes(file.empty() ? nullptr : file.data(),
                            static_cast<std::uint32_t>(file.size()));
}

// A section one byte too long for the file, a marker with no room before it, a line the camera
// cannot take, a type no pass rule knows: refused, with the reason.
TEST(FirmwareLayout, RefusalsNameTheirReason) {
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
  const Bytes combinedAtZero(combined.begin() + 1, combined.end());
  const Bytes mcuLongLine = test::McuFile(test::McuText(1, 1024), PayloadBytes(10));

  struct Case {
    const char* name;
    Bytes file;
    ImageRefusal reason;
    std::uint8_t imageType;
  };
  const std::vector<Case> cases = {
      {"single kwipIMG", lonelyImg, ImageRefusal::kNoSecondImage, 0},
      {"combined marker at offset 0", combinedAtZero, ImageRefusal::kNoImageType, 0},
      {"FPGA without kwipIMG", fpgaNoImg, ImageRefusal::kNoImgSection, 0},
      {"FPGA length past end", withLength(fpga, 8, 0xFFFFFFF0u), ImageRefusal::kSectionPastEnd, 0},
      {"FPGA file cut inside its length", Slice(fpga, 0, 10), ImageRefusal::kSectionPastEnd, 0},
      {"MCU length past end", withLength(mcu, 7, 200000), ImageRefusal::kSectionPastEnd, 0},
      {"image length one past end", withLength(fpga, 112 + 7, 51), ImageRefusal::kSectionPastEnd,
       0},
      {"combined second one past end", Slice(combined, 0, combined.size() - 1),
       ImageRefusal::kSectionPastEnd, 0},
      {"MCU line of 1024 bytes", mcuLongLine, ImageRefusal::kMcuLineTooLong, 0},
      {"empty file", Bytes(), ImageRefusal::kEmptyFile, 0},
      {"combined of type 0", test::CombinedFileBytes(0), ImageRefusal::kUnknownImageType, 0},
      {"combined of type 4", test::CombinedFileBytes(4), ImageRefusal::kUnknownImageType, 4},
      {"combined of type 0xFF", test::CombinedFileBytes(0xFF), ImageRefusal::kUnknownImageType,
       0xFF},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ParseResult result = Parse(c.file);
    EXPECT_FALSE(result.image.has_value());
    EXPECT_EQ(result.refusal, c.reason);
    EXPECT_EQ(result.imageType, c.imageType);
  }
}

}  // namespace
}  // namespace veltra
