// Recognising a firmware file by its section markers and cutting it into the two payloads.
//
// Every length in the file is checked against the file before anything is copied, so a damaged or
// truncated file is refused rather than read past its end. A file that is refused leaves no payload
// behind (see SplitFirmwareFile), so an update can never send the remains of an earlier file as if
// they belonged to the one the path box now shows.
#include <cstring>

#include "core/debug_trace.h"
#include "image/firmware_image.h"
#include "image/image_internal.h"
#include "platform/ports.h"

namespace veltra {

namespace {

constexpr const char* kMarkerFpga = "kwipFPGA";
constexpr const char* kMarkerMcu = "kwipMCU";
constexpr const char* kMarkerImg = "kwipIMG";

// Where the 32-bit length stands after each marker; the data follows the length.
constexpr std::uint32_t kFpgaLengthAt = 8;      // "kwipFPGA" + length
constexpr std::uint32_t kMcuLengthAt = 7;       // "kwipMCU" + length
constexpr std::uint32_t kImgLengthAt = 7;       // "kwipIMG" + length (MCU and FPGA files)
constexpr std::uint32_t kCombinedLengthAt = 8;  // "kwipIMG" + one unread byte + length
// The second image of a combined file is searched from this far after the first marker.
constexpr std::uint32_t kSecondMarkerSkip = 4;
constexpr std::uint8_t kUnmarkedImageType = 3;

constexpr const wchar_t* kTraceFpgaNoMemory =
    L"ReadFPGAFX3Firmware Memory allocation failed for FPGA data GetLastError() = %d\r\n";
constexpr const wchar_t* kTraceMcuNoMemory =
    L"ReadMCUFX3Firmware Memory allocation failed for MCU data GetLastError() = %d\r\n";
constexpr const wchar_t* kTraceNoImage2 = L"Substring not found for Image2....\r\n";
constexpr const wchar_t* kTraceCombinedNoMemory = L"Memory Aloocation FAiled for Imagedata1..\r\n";
constexpr const wchar_t* kTraceUnmarkedNoMemory = L"Memory Allocation Failed for Imagedata1..\r\n";
constexpr const wchar_t* kTraceUnmarked = L"Substring not found for Image1....\r\n";
// Files that cannot be split safely.
constexpr const wchar_t* kTraceEmptyFile = L"Firmware file is empty....\r\n";
constexpr const wchar_t* kTraceNoImgSection = L"Substring not found for kwipIMG section....\r\n";
constexpr const wchar_t* kTraceNoImageType = L"No image type byte before Image1....\r\n";
constexpr const wchar_t* kTraceSectionPastEnd =
    L"%ls section runs past the end of the file....\r\n";
constexpr const wchar_t* kTraceMcuLineTooLong =
    L"MCU line of 1024 bytes or more cannot be sent....\r\n";

struct Section {
  std::uint32_t offset = 0;
  std::uint32_t length = 0;
};

std::uint32_t ReadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// A section whose length stands lengthAt bytes after its marker, with the data right behind the
// length. false (traced with the section's name) when the length field or the data would end
// past the end of the file.
bool LocateSection(const std::uint8_t* file, std::uint32_t length, std::uint32_t markerPos,
                   std::uint32_t lengthAt, const wchar_t* name, Section* out) {
  const std::uint64_t dataAt = static_cast<std::uint64_t>(markerPos) + lengthAt + 4;
  if (dataAt > length) {
    DebugPrint(1, kTraceSectionPastEnd, name);
    return false;
  }
  const std::uint32_t dataLength = ReadLe32(file + markerPos + lengthAt);
  if (dataLength > length - dataAt) {
    DebugPrint(1, kTraceSectionPastEnd, name);
    return false;
  }
  out->offset = static_cast<std::uint32_t>(dataAt);
  out->length = dataLength;
  return true;
}

// The "kwipIMG" section of an MCU or FPGA file, searched from the start of the file.
bool LocateImgSection(const std::uint8_t* file, std::uint32_t length, Section* out) {
  const std::uint32_t pos = FindMarker(file, length, kMarkerImg);
  if (pos == kNotFound) {
    DebugPrint(1, kTraceNoImgSection);
    return false;
  }
  return LocateSection(file, length, pos, kImgLengthAt, L"kwipIMG", out);
}

// Replaces the payloads of an earlier selection with copies of the two sections.
bool CopySections(const std::uint8_t* file, const Section& first, const Section& second,
                  const wchar_t* noMemoryTrace) {
  ReleasePayload(imagePart1);
  ReleasePayload(imagePart2);
  if (!AllocatePayload(imagePart1, file + first.offset, first.length) ||
      !AllocatePayload(imagePart2, file + second.offset, second.length)) {
    DebugPrint(1, noMemoryTrace, static_cast<int>(Sys().GetLastError()));
    return false;
  }
  return true;
}

int ReadCombinedImage(const std::uint8_t* file, std::uint32_t length, std::uint32_t firstPos) {
  // The image type is the byte before the first marker; a marker at the very start has none.
  if (firstPos == 0) {
    DebugPrint(1, kTraceNoImageType);
    return 0;
  }
  g_imageType = file[firstPos - 1];
  const std::uint32_t secondPos =
      FindMarker(file, length, kMarkerImg, firstPos + kSecondMarkerSkip);
  if (secondPos == kNotFound) {
    DebugPrint(1, kTraceNoImage2);
    return 0;
  }
  Section first;
  Section second;
  if (!LocateSection(file, length, firstPos, kCombinedLengthAt, L"Image1", &first) ||
      !LocateSection(file, length, secondPos, kCombinedLengthAt, L"Image2", &second)) {
    return 0;
  }
  if (!CopySections(file, first, second, kTraceCombinedNoMemory)) {
    return 0;
  }
  g_bCombinedImage = 1;
  return 1;
}

int ReadUnmarkedImage(const std::uint8_t* file, std::uint32_t length) {
  // imagePart1 goes too: it would belong to an earlier file.
  ReleasePayload(imagePart1);
  ReleasePayload(imagePart2);
  if (!AllocatePayload(imagePart2, file, length)) {
    DebugPrint(1, kTraceUnmarkedNoMemory);
    return 0;
  }
  g_imageType = kUnmarkedImageType;
  DebugPrint(1, kTraceUnmarked);
  return 1;
}

int SplitByMarkers(const std::uint8_t* file, std::uint32_t length) {
  g_mcuChunkCount = 0;
  g_bCombinedImage = 0;
  if (file == nullptr || length == 0) {
    DebugPrint(1, kTraceEmptyFile);
    return 0;
  }

  // A file with both an FPGA and an MCU marker is an FPGA file.
  const std::uint32_t fpgaPos = FindMarker(file, length, kMarkerFpga);
  if (fpgaPos != kNotFound) {
    g_bFPGAImage = 1;
    g_bMCUImage = 0;
    return ReadFPGAFX3Firmware(file, length, fpgaPos);
  }
  g_bFPGAImage = 0;

  const std::uint32_t mcuPos = FindMarker(file, length, kMarkerMcu);
  if (mcuPos != kNotFound) {
    g_bMCUImage = 1;
    if (ReadMCUFX3Firmware(file, length, mcuPos) != 1) {
      return 0;
    }
    std::vector<McuChunk> chunks;
    if (!SplitMcuChunks(imagePart1.data, imagePart1.length, &chunks)) {
      DebugPrint(1, kTraceMcuLineTooLong);
      return 0;
    }
    g_mcuChunkCount = static_cast<std::uint32_t>(chunks.size());
    return 1;
  }
  g_bMCUImage = 0;

  const std::uint32_t imgPos = FindMarker(file, length, kMarkerImg);
  if (imgPos != kNotFound) {
    return ReadCombinedImage(file, length, imgPos);
  }
  return ReadUnmarkedImage(file, length);
}

}  // namespace

std::uint32_t FindMarker(const std::uint8_t* buffer, std::uint32_t length, const char* marker,
                         std::uint32_t from) {
  if (buffer == nullptr || marker == nullptr) {
    return kNotFound;
  }
  const std::size_t markerLength = std::strlen(marker);
  if (markerLength == 0 || markerLength > length) {
    return kNotFound;
  }
  const std::uint32_t last = length - static_cast<std::uint32_t>(markerLength);
  for (std::uint32_t i = from; i <= last; ++i) {
    if (std::memcmp(buffer + i, marker, markerLength) == 0) {
      return i;
    }
  }
  return kNotFound;
}

int ReadFPGAFX3Firmware(const std::uint8_t* file, std::uint32_t length, std::uint32_t markerPos) {
  Section fpga;
  Section image;
  if (!LocateSection(file, length, markerPos, kFpgaLengthAt, L"kwipFPGA", &fpga) ||
      !LocateImgSection(file, length, &image)) {
    return 0;
  }
  return CopySections(file, fpga, image, kTraceFpgaNoMemory) ? 1 : 0;
}

int ReadMCUFX3Firmware(const std::uint8_t* file, std::uint32_t length, std::uint32_t markerPos) {
  Section mcu;
  Section image;
  if (!LocateSection(file, length, markerPos, kMcuLengthAt, L"kwipMCU", &mcu) ||
      !LocateImgSection(file, length, &image)) {
    return 0;
  }
  return CopySections(file, mcu, image, kTraceMcuNoMemory) ? 1 : 0;
}

// A refused file leaves nothing that looks like an image: both payloads released and the kind
// flags, chunk count and image type cleared. The kinds and the type are only meaningful together
// with the payloads of the same file, and a half-filled state (one payload new, one old; flags of
// the new file over payloads of the old one) could otherwise be sent by a later update.
int SplitFirmwareFile(const std::uint8_t* file, std::uint32_t length) {
  const int result = SplitByMarkers(file, length);
  if (result != 1) {
    DiscardImageSelection();
  }
  return result;
}

}  // namespace veltra
