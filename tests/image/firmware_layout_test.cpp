// Reading a firmware file: each kind's sections, and the refusals at their boundaries. The layout
// rules as a whole are fuzzed (fuzz/firmware_file.cpp).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/firmware_image.h"
#include "image_test_support.h"
#include "support/firmware_files.h"

namespace veltra {
namespace {

using test::Bytes;
using test::PayloadBytes;
using test::Slice;
using test::ViewContents;

ParseResult Parse(const Bytes& file) {
  return ParseFirmwareBytes(file.empty() ? nullptr : file.data(),
                            static_cast<std::uint32_t>(file.size()));
}

// Each kind gives its two parts as the file holds them, with no copy of the file's bytes. The
// image type belongs to the file alone: an FPGA or MCU file read after a combined one has none.
TEST(FirmwareLayout, EachKindGivesItsSectionsAndType) {
  const Bytes bitstream = PayloadBytes(3000, 1);
  const Bytes text = test::McuText(30, 100);
  const Bytes first = PayloadBytes(2100, 3);
  const Bytes second = PayloadBytes(2500, 4);
  struct Case {
    const char* name;
    Bytes file;
    ImageKind kind;
    std::uint8_t imageType;
    Bytes part1;
    Bytes part2;
    std::size_t chunks;
  };
  const std::vector<Case> cases = {
      {"FPGA", test::FpgaFile(bitstream, second), ImageKind::kFpga, 0, bitstream, second, 0},
      {"MCU", test::McuFile(text, second), ImageKind::kMcu, 0, text, second, 3},
      {"combined of type 1", test::CombinedFile(1, first, second), ImageKind::kCombined, 1, first,
       second, 0},
      {"combined of type 3", test::CombinedFile(3, first, second), ImageKind::kCombined, 3, first,
       second, 0},
      {"unmarked", second, ImageKind::kUnmarked, 3, Bytes(), second, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(Parse(test::CombinedFileBytes(2)).image, std::nullopt);
    const ParseResult result = Parse(c.file);
    ASSERT_TRUE(result.image.has_value());
    const ParsedImage& image = *result.image;
    EXPECT_EQ(image.kind, c.kind);
    EXPECT_EQ(image.imageType, c.imageType);
    EXPECT_EQ(ViewContents(image.part1), c.part1);
    EXPECT_EQ(ViewContents(image.part2), c.part2);
    EXPECT_EQ(image.mcuChunks.size(), c.chunks);
    EXPECT_TRUE(image.part2.data >= image.file.get() &&
                image.part2.data + image.part2.length <= image.file.get() + c.file.size());
  }
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
