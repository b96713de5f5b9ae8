#include "veltra-bench/file_reading.h"

#include <cstring>

namespace veltra::bench {

namespace {

using Bytes = std::vector<std::uint8_t>;

// A cursor over the file that refuses to read past its end.
class Reader {
 public:
  explicit Reader(const Bytes& bytes) : bytes_(bytes) {}
  bool Skip(std::size_t count) {
    if (bytes_.size() - at_ < count) {
      return false;
    }
    at_ += count;
    return true;
  }
  bool Expect(const char* text) {
    const std::size_t n = std::strlen(text);
    if (bytes_.size() - at_ < n || std::memcmp(bytes_.data() + at_, text, n) != 0) {
      return false;
    }
    at_ += n;
    return true;
  }
  // A little-endian 32-bit length, then that many bytes.
  bool Block(Bytes* out) {
    if (bytes_.size() - at_ < 4) {
      return false;
    }
    std::uint32_t length = 0;
    for (int i = 3; i >= 0; --i) {
      length = (length << 8) | bytes_[at_ + static_cast<std::size_t>(i)];
    }
    at_ += 4;
    if (bytes_.size() - at_ < length) {
      return false;
    }
    out->assign(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + length));
    at_ += length;
    return true;
  }

 private:
  const Bytes& bytes_;
  std::size_t at_ = 0;
};

std::string Size(std::size_t count) {
  return std::to_string(count) + " bytes";
}

}  // namespace

FileReading ReadFirmwareFile(const std::vector<std::uint8_t>& bytes) {
  FileReading reading;
  {
    Reader in(bytes);
    if (in.Expect("kwipFPGA") && in.Block(&reading.bitstream) && in.Expect("kwipIMG") &&
        in.Block(&reading.image)) {
      reading.kind = FileReading::Kind::kFpga;
      return reading;
    }
  }
  {
    Reader in(bytes);
    if (in.Expect("kwipMCU") && in.Block(&reading.mcuText) && in.Expect("kwipIMG") &&
        in.Block(&reading.image)) {
      reading.kind = FileReading::Kind::kMcu;
      return reading;
    }
  }
  {
    Reader in(bytes);
    if (in.Skip(1) && in.Expect("kwipIMG") && in.Skip(1) && in.Block(&reading.first) &&
        in.Expect("kwipIMG") && in.Skip(1) && in.Block(&reading.image)) {
      reading.kind = FileReading::Kind::kCombined;
      reading.combinedType = bytes[0];
      return reading;
    }
  }
  reading = FileReading{};
  reading.image = bytes;
  return reading;
}

std::string Describe(const FileReading& reading) {
  switch (reading.kind) {
    case FileReading::Kind::kFpga:
      return "FPGA file: bitstream " + Size(reading.bitstream.size()) + ", image " +
             Size(reading.image.size());
    case FileReading::Kind::kMcu:
      return "MCU file: MCU text " + Size(reading.mcuText.size()) + ", image " +
             Size(reading.image.size());
    case FileReading::Kind::kCombined:
      return "combined file of type " + std::to_string(reading.combinedType) + ": first image " +
             Size(reading.first.size()) + ", second image " + Size(reading.image.size());
    case FileReading::Kind::kUnmarked:
      break;
  }
  return "unmarked image of " + Size(reading.image.size());
}

}  // namespace veltra::bench
