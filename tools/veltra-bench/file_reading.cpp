#include "veltra-bench/file_reading.h"

#include <algorithm>
#include <cstring>

namespace veltra::bench {

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kNowhere = static_cast<std::size_t>(-1);

// Where text first stands in the file at or after from, or kNowhere.
std::size_t Find(const Bytes& bytes, const char* text, std::size_t from = 0) {
  const std::size_t n = std::strlen(text);
  if (from > bytes.size()) {
    return kNowhere;
  }
  const auto hit =
      std::search(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(), text, text + n);
  return hit == bytes.end() ? kNowhere : static_cast<std::size_t>(hit - bytes.begin());
}

// The section whose little-endian 32-bit length stands at lengthAt, with its bytes right behind
// the length; false when either runs past the end of the file.
bool Section(const Bytes& bytes, std::size_t lengthAt, Bytes* out) {
  if (lengthAt == kNowhere || bytes.size() < 4 || lengthAt > bytes.size() - 4) {
    return false;
  }
  std::uint32_t length = 0;
  for (int i = 3; i >= 0; --i) {
    length = (length << 8) | bytes[lengthAt + static_cast<std::size_t>(i)];
  }
  const std::size_t at = lengthAt + 4;
  if (bytes.size() - at < length) {
    return false;
  }
  out->assign(bytes.begin() + static_cast<std::ptrdiff_t>(at),
              bytes.begin() + static_cast<std::ptrdiff_t>(at + length));
  return true;
}

// The marker's section: its length stands skip bytes after the marker.
bool MarkedSection(const Bytes& bytes, std::size_t marker, std::size_t skip, Bytes* out) {
  return marker != kNowhere && Section(bytes, marker + skip, out);
}

FileReading Refused() {
  FileReading reading;
  reading.kind = FileReading::Kind::kRefused;
  return reading;
}

std::string Size(std::size_t count) {
  return std::to_string(count) + " bytes";
}

}  // namespace

FileReading ReadFirmwareFile(const std::vector<std::uint8_t>& bytes) {
  FileReading reading;
  const std::size_t fpga = Find(bytes, "kwipFPGA");
  const std::size_t mcu = Find(bytes, "kwipMCU");
  const std::size_t img = Find(bytes, "kwipIMG");
  if (fpga != kNowhere) {
    if (MarkedSection(bytes, fpga, 8, &reading.bitstream) &&
        MarkedSection(bytes, img, 7, &reading.image)) {
      reading.kind = FileReading::Kind::kFpga;
      return reading;
    }
    return Refused();
  }
  if (mcu != kNowhere) {
    if (MarkedSection(bytes, mcu, 7, &reading.mcuText) &&
        MarkedSection(bytes, img, 7, &reading.image)) {
      // Only whole lines reach the camera: a last line without its line feed is never sent.
      while (!reading.mcuText.empty() && reading.mcuText.back() != '\n') {
        reading.mcuText.pop_back();
      }
      reading.kind = FileReading::Kind::kMcu;
      return reading;
    }
    return Refused();
  }
  if (img != kNowhere) {
    const std::size_t second = Find(bytes, "kwipIMG", img + 4);
    if (img > 0 && MarkedSection(bytes, img, 8, &reading.first) &&
        MarkedSection(bytes, second, 8, &reading.image) && bytes[img - 1] >= 1 &&
        bytes[img - 1] <= 3) {
      reading.kind = FileReading::Kind::kCombined;
      reading.combinedType = bytes[img - 1];
      return reading;
    }
    return Refused();
  }
  reading.image = bytes;
  return reading;
}

std::string Describe(const FileReading& reading) {
  switch (reading.kind) {
    case FileReading::Kind::kFpga:
      return "FPGA file: bitstream " + Size(reading.bitstream.size()) + ", image " +
             Size(reading.image.size());
    case FileReading::Kind::kMcu:
      return "MCU file: MCU text " + Size(reading.mcuText.size()) + " in whole lines, image " +
             Size(reading.image.size());
    case FileReading::Kind::kCombined:
      return "combined file of type " + std::to_string(reading.combinedType) + ": first image " +
             Size(reading.first.size()) + ", second image " + Size(reading.image.size());
    case FileReading::Kind::kRefused:
      return "a marked file that does not hold together (the program refuses it)";
    case FileReading::Kind::kUnmarked:
      break;
  }
  return "unmarked image of " + Size(reading.image.size());
}

}  // namespace veltra::bench
