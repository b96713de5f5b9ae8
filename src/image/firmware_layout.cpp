// Recognising a firmware file by its section markers and finding its sections.
//
// Every length in the file is checked against the file before a view is made, so a damaged or
// truncated file is refused rather than read past its end. The result is either a whole image or
// the reason it was refused; there is no half-read state for an update to pick up.
#include <cstring>
#include <utility>

#include "core/byte_order.h"
#include "image/firmware_image.h"
#include "image/image_internal.h"

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

ParseResult Refuse(ImageRefusal reason, const wchar_t* section = nullptr) {
  ParseResult result;
  result.refusal = reason;
  result.section = section;
  return result;
}

// The section whose length stands lengthAt bytes after its marker, with the data right behind the
// length. false when the length field or the data would end past the end of the file.
bool LocateSection(const std::uint8_t* file, std::uint32_t length, std::uint32_t markerPos,
                   std::uint32_t lengthAt, ByteView* out) {
  const std::uint64_t dataAt = static_cast<std::uint64_t>(markerPos) + lengthAt + 4;
  if (dataAt > length) {
    return false;
  }
  const std::uint32_t dataLength =
      GetLe32(file, length, static_cast<std::size_t>(markerPos) + lengthAt);
  if (dataLength > length - dataAt) {
    return false;
  }
  out->data = file + dataAt;
  out->length = dataLength;
  return true;
}

// FPGA and MCU files: the marked first section, then "kwipIMG" searched from the file's start.
ParseResult ReadMarkedPair(const std::uint8_t* file, std::uint32_t length, std::uint32_t markerPos,
                           std::uint32_t lengthAt, const wchar_t* name, ImageKind kind) {
  ParsedImage image;
  image.kind = kind;
  if (!LocateSection(file, length, markerPos, lengthAt, &image.part1)) {
    return Refuse(ImageRefusal::kSectionPastEnd, name);
  }
  const std::uint32_t imgPos = FindMarker(file, length, kMarkerImg);
  if (imgPos == kNotFound) {
    return Refuse(ImageRefusal::kNoImgSection);
  }
  if (!LocateSection(file, length, imgPos, kImgLengthAt, &image.part2)) {
    return Refuse(ImageRefusal::kSectionPastEnd, L"kwipIMG");
  }
  if (kind == ImageKind::kMcu &&
      !SplitMcuChunks(image.part1.data, image.part1.length, &image.mcuChunks)) {
    return Refuse(ImageRefusal::kMcuLineTooLong);
  }
  ParseResult result;
  result.image = std::move(image);
  return result;
}

ParseResult ReadCombined(const std::uint8_t* file, std::uint32_t length, std::uint32_t firstPos) {
  // The image type is the byte before the first marker; a marker at the very start has none.
  if (firstPos == 0) {
    return Refuse(ImageRefusal::kNoImageType);
  }
  ParsedImage image;
  image.kind = ImageKind::kCombined;
  image.imageType = file[firstPos - 1];
  const std::uint32_t secondPos =
      FindMarker(file, length, kMarkerImg, firstPos + kSecondMarkerSkip);
  if (secondPos == kNotFound) {
    return Refuse(ImageRefusal::kNoSecondImage);
  }
  if (!LocateSection(file, length, firstPos, kCombinedLengthAt, &image.part1)) {
    return Refuse(ImageRefusal::kSectionPastEnd, L"Image1");
  }
  if (!LocateSection(file, length, secondPos, kCombinedLengthAt, &image.part2)) {
    return Refuse(ImageRefusal::kSectionPastEnd, L"Image2");
  }
  // No pass rule knows another type: the update would send nothing and never end.
  if (image.imageType < kImageTypeLowest || image.imageType > kImageTypeHighest) {
    ParseResult refused = Refuse(ImageRefusal::kUnknownImageType);
    refused.imageType = image.imageType;
    return refused;
  }
  ParseResult result;
  result.image = std::move(image);
  return result;
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
  // memchr finds the candidates for the first character; most of a large file is skipped at its
  // speed instead of being compared position by position.
  std::uint32_t i = from;
  while (i <= last) {
    const void* hit = std::memchr(buffer + i, marker[0], last - i + 1);
    if (hit == nullptr) {
      return kNotFound;
    }
    i = static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(hit) - buffer);
    if (std::memcmp(buffer + i, marker, markerLength) == 0) {
      return i;
    }
    ++i;
  }
  return kNotFound;
}

ParseResult ParseFirmwareFile(std::shared_ptr<const std::uint8_t> owner, std::uint32_t length) {
  const std::uint8_t* file = owner.get();
  if (file == nullptr || length == 0) {
    return Refuse(ImageRefusal::kEmptyFile);
  }
  ParseResult result;
  if (const std::uint32_t fpgaPos = FindMarker(file, length, kMarkerFpga); fpgaPos != kNotFound) {
    result = ReadMarkedPair(file, length, fpgaPos, kFpgaLengthAt, L"kwipFPGA", ImageKind::kFpga);
  } else if (const std::uint32_t mcuPos = FindMarker(file, length, kMarkerMcu);
             mcuPos != kNotFound) {
    result = ReadMarkedPair(file, length, mcuPos, kMcuLengthAt, L"kwipMCU", ImageKind::kMcu);
  } else if (const std::uint32_t imgPos = FindMarker(file, length, kMarkerImg);
             imgPos != kNotFound) {
    result = ReadCombined(file, length, imgPos);
  } else {
    ParsedImage image;
    image.kind = ImageKind::kUnmarked;
    image.imageType = kImageTypeUnmarked;
    image.part1 = ByteView{file, 0};
    image.part2 = ByteView{file, length};
    result.image = std::move(image);
  }
  if (result.image) {
    result.image->file = std::move(owner);
  }
  return result;
}

ParseResult ParseFirmwareBytes(const std::uint8_t* bytes, std::uint32_t length) {
  if (bytes == nullptr || length == 0) {
    return Refuse(ImageRefusal::kEmptyFile);
  }
  std::shared_ptr<std::uint8_t> copy(new std::uint8_t[length],
                                     std::default_delete<std::uint8_t[]>());
  std::memcpy(copy.get(), bytes, length);
  return ParseFirmwareFile(std::move(copy), length);
}

}  // namespace veltra
