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
using test::PayloadContents;
using test::Slice;

int Split(const Bytes& file) {
  return SplitFirmwareFile(file.data(), static_cast<std::uint32_t>(file.size()));
}

class FirmwareLayoutTest : public BenchTest {
 protected:
  std::vector<std::wstring> Trace() const { return system_->TraceLines(); }
};

TEST(FindMarker, FindsOnlyWholeMarkersInsideTheBuffer) {
  const std::string text = "xxkwipIMGyykwipIMkwipIMG";
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto length = static_cast<std::uint32_t>(text.size());
  EXPECT_EQ(FindMarker(bytes, length, "kwipIMG"), 2u);
  EXPECT_EQ(FindMarker(bytes, length, "kwipIMG", 3), 17u);            // the last 7 bytes exactly
  EXPECT_EQ(FindMarker(bytes, length - 1, "kwipIMG", 3), kNotFound);  // cut at the end
  EXPECT_EQ(FindMarker(bytes, length, "kwipIMG", length), kNotFound);
  EXPECT_EQ(FindMarker(bytes, 3, "kwipIMG"), kNotFound);  // buffer shorter than the marker
}

TEST_F(FirmwareLayoutTest, FpgaFileWinsOverMcuMarkerAndFillsBothParts) {
  const Bytes bitstream = PayloadBytes(3000, 1);
  const Bytes image = PayloadBytes(2500, 2);
  // Markers may stand anywhere: a header before, an MCU section behind.
  Bytes file = {0xAA, 0xBB, 0xCC};
  fwgen::Append(file, test::FpgaFile(bitstream, image));
  fwgen::Append(file, test::McuFileBytes());
  g_imageType = 9;

  ASSERT_EQ(Split(file), 1);
  EXPECT_EQ(PayloadContents(imagePart1), bitstream);
  EXPECT_EQ(PayloadContents(imagePart2), image);
  EXPECT_EQ(g_bFPGAImage, 1);
  EXPECT_EQ(g_bMCUImage, 0);
  EXPECT_EQ(g_bCombinedImage, 0);
  EXPECT_EQ(g_mcuChunkCount, 0u);
  EXPECT_EQ(g_imageType, 9);  // not an attribute of FPGA files
}

TEST_F(FirmwareLayoutTest, McuFileFillsPartsAndCountsLineChunks) {
  const Bytes text = test::McuText(20, 100);  // 2000 bytes -> chunks of 1000 and 1000
  const Bytes image = PayloadBytes(2500, 2);
  g_imageType = 2;

  ASSERT_EQ(Split(test::McuFile(text, image)), 1);
  EXPECT_EQ(PayloadContents(imagePart1), text);
  EXPECT_EQ(PayloadContents(imagePart2), image);
  EXPECT_EQ(g_bMCUImage, 1);
  EXPECT_EQ(g_bFPGAImage, 0);
  EXPECT_EQ(g_mcuChunkCount, 2u);
  EXPECT_EQ(g_imageType, 2);
}

TEST_F(FirmwareLayoutTest, CombinedFileTakesTypeByteAndBothImages) {
  for (const std::uint8_t type : {1, 2, 3, 7}) {
    const Bytes first = PayloadBytes(3000, type);
    const Bytes second = PayloadBytes(1000, type + 10);
    ASSERT_EQ(Split(test::CombinedFile(type, first, second)), 1) << int(type);
    EXPECT_EQ(g_imageType, type);
    EXPECT_EQ(PayloadContents(imagePart1), first);
    EXPECT_EQ(PayloadContents(imagePart2), second);
    EXPECT_EQ(g_bCombinedImage, 1);
    EXPECT_EQ(g_bFPGAImage + g_bMCUImage, 0);
  }
}

TEST_F(FirmwareLayoutTest, UnmarkedFileIsTakenWholeAsSecondPartWithType3) {
  ASSERT_EQ(Split(test::McuFileBytes()), 1);  // an earlier selection with both parts
  const Bytes file = test::UnmarkedFileBytes(5000);

  ASSERT_EQ(Split(file), 1);
  EXPECT_EQ(PayloadContents(imagePart2), file);
  EXPECT_EQ(imagePart1.data, nullptr);  // the earlier MCU text is gone
  EXPECT_EQ(g_imageType, 3);
  EXPECT_EQ(g_bFPGAImage + g_bMCUImage + g_bCombinedImage, 0);
  EXPECT_EQ(g_mcuChunkCount, 0u);
  EXPECT_EQ(Trace().back(), L"Substring not found for Image1....\r\n");
}

// Every refused file: result 0, its own trace line, and nothing left of the earlier selection.
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
    std::wstring trace;
  };
  const std::vector<Case> cases = {
      {"single kwipIMG", lonelyImg, L"Substring not found for Image2....\r\n"},
      {"combined marker at offset 0", combinedAtZero, L"No image type byte before Image1....\r\n"},
      {"FPGA without kwipIMG", fpgaNoImg, L"Substring not found for kwipIMG section....\r\n"},
      {"MCU without kwipIMG", mcuNoImg, L"Substring not found for kwipIMG section....\r\n"},
      {"FPGA length past end", withLength(fpga, 8, 0xFFFFFFF0u),
       L"kwipFPGA section runs past the end of the file....\r\n"},
      {"FPGA file cut inside its length", Slice(fpga, 0, 10),
       L"kwipFPGA section runs past the end of the file....\r\n"},
      {"MCU length past end", withLength(mcu, 7, 200000),
       L"kwipMCU section runs past the end of the file....\r\n"},
      {"image length one past end", withLength(fpga, 112 + 7, 51),
       L"kwipIMG section runs past the end of the file....\r\n"},
      {"combined first past end", withLength(combined, fwgen::kCombinedFirstLengthAt, 5000),
       L"Image1 section runs past the end of the file....\r\n"},
      {"combined second past end", Slice(combined, 0, combined.size() - 1),
       L"Image2 section runs past the end of the file....\r\n"},
      {"combined cut inside second length", Slice(combined, 0, 113 + 9),
       L"Image2 section runs past the end of the file....\r\n"},
      {"MCU line of 1024 bytes", mcuLongLine,
       L"MCU line of 1024 bytes or more cannot be sent....\r\n"},
      {"empty file", Bytes(), L"Firmware file is empty....\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(Split(test::CombinedFileBytes(2)), 1);
    system_->ClearTrace();
    // Exact-length copies so that AddressSanitizer sees any read past the end.
    std::vector<std::uint8_t> exact(c.file);
    EXPECT_EQ(SplitFirmwareFile(exact.empty() ? nullptr : exact.data(),
                                static_cast<std::uint32_t>(exact.size())),
              0);
    EXPECT_EQ(Trace(), std::vector<std::wstring>{c.trace});
    EXPECT_TRUE(test::ImageStateEmpty());
  }
}

TEST_F(FirmwareLayoutTest, AllocationFailuresTraceTheirKindAndLeaveNoImage) {
  system_->SetLastError(8);
  struct Case {
    const char* name;
    Bytes file;
    int failAt;
    std::wstring trace;
  };
  const std::wstring fpgaTrace =
      L"ReadFPGAFX3Firmware Memory allocation failed for FPGA data GetLastError() = 8\r\n";
  const std::wstring mcuTrace =
      L"ReadMCUFX3Firmware Memory allocation failed for MCU data GetLastError() = 8\r\n";
  const std::vector<Case> cases = {
      {"FPGA first part", test::FpgaFileBytes(), 1, fpgaTrace},
      {"FPGA second part", test::FpgaFileBytes(), 2, fpgaTrace},
      {"MCU first part", test::McuFileBytes(), 1, mcuTrace},
      {"MCU second part", test::McuFileBytes(), 2, mcuTrace},
      {"combined first", test::CombinedFileBytes(), 1,
       L"Memory Aloocation FAiled for Imagedata1..\r\n"},
      {"combined second", test::CombinedFileBytes(), 2,
       L"Memory Aloocation FAiled for Imagedata1..\r\n"},
      {"unmarked", test::UnmarkedFileBytes(), 1, L"Memory Allocation Failed for Imagedata1..\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetPayloadAllocator(nullptr);
    ASSERT_EQ(Split(test::McuFileBytes()), 1);
    system_->ClearTrace();
    test::FailAllocation(c.failAt);
    EXPECT_EQ(Split(c.file), 0);
    EXPECT_EQ(Trace(), std::vector<std::wstring>{c.trace});
    EXPECT_TRUE(test::ImageStateEmpty());
  }
}

}  // namespace
}  // namespace veltra
