#include "veltra-mkfw/fwgen.h"

#include <cstdio>
#include <cstring>

namespace veltra::fwgen {

namespace {

constexpr const char* kStampPrefix = "FWVER ";
constexpr std::uint8_t kNeverInFiller = 'k';  // first byte of every marker
constexpr const char* kHexDigits = "0123456789ABCDEF";

// xorshift32: small, fixed, and the same on every host.
std::uint32_t NextRandom(std::uint32_t& state) {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return state;
}

std::uint32_t SeedState(std::uint32_t seed) {
  return seed * 2654435761u + 0x9E3779B9u;
}

bool ParseNumber(const char*& p, unsigned long max, unsigned long* out) {
  if (*p < '0' || *p > '9') {
    return false;
  }
  unsigned long value = 0;
  while (*p >= '0' && *p <= '9') {
    value = value * 10 + static_cast<unsigned long>(*p - '0');
    if (value > max) {
      return false;
    }
    ++p;
  }
  *out = value;
  return true;
}

}  // namespace

bool operator==(const Version& a, const Version& b) {
  return a.major == b.major && a.minor == b.minor && a.build == b.build && a.revision == b.revision;
}

std::string ToString(const Version& version) {
  char text[32];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", static_cast<unsigned>(version.major),
                static_cast<unsigned>(version.minor), static_cast<unsigned>(version.build),
                static_cast<unsigned>(version.revision));
  return text;
}

bool ParseVersion(const std::string& text, Version* out) {
  const char* p = text.c_str();
  unsigned long fields[4] = {};
  const unsigned long limits[4] = {0xFF, 0xFF, 0xFFFF, 0xFFFF};
  for (int i = 0; i < 4; ++i) {
    if (!ParseNumber(p, limits[i], &fields[i])) {
      return false;
    }
    if (i < 3 && *p++ != '.') {
      return false;
    }
  }
  if (*p != '\0') {
    return false;
  }
  out->major = static_cast<std::uint8_t>(fields[0]);
  out->minor = static_cast<std::uint8_t>(fields[1]);
  out->build = static_cast<std::uint16_t>(fields[2]);
  out->revision = static_cast<std::uint16_t>(fields[3]);
  return true;
}

Bytes VersionStamp(const Version& version) {
  Bytes out;
  AppendText(out, kStampPrefix);
  AppendText(out, ToString(version).c_str());
  out.push_back('\n');
  return out;
}

bool ReadVersionStamp(const std::uint8_t* data, std::size_t length, Version* out) {
  const std::size_t prefix = std::strlen(kStampPrefix);
  if (data == nullptr || length <= prefix || std::memcmp(data, kStampPrefix, prefix) != 0) {
    return false;
  }
  std::string text;
  for (std::size_t i = prefix; i < length && data[i] != '\n'; ++i) {
    if (text.size() > 24) {
      return false;
    }
    text.push_back(static_cast<char>(data[i]));
  }
  return ParseVersion(text, out);
}

Bytes Filler(std::size_t length, std::uint32_t seed) {
  Bytes out(length);
  std::uint32_t state = SeedState(seed);
  for (auto& byte : out) {
    byte = static_cast<std::uint8_t>(NextRandom(state) >> 24);
    if (byte == kNeverInFiller) {
      byte = 'K';
    }
  }
  return out;
}

Bytes StampedPayload(std::size_t length, const Version& version, std::uint32_t seed) {
  Bytes out = VersionStamp(version);
  if (out.size() > length) {
    return Filler(length, seed);
  }
  Append(out, Filler(length - out.size(), seed));
  return out;
}

Bytes McuLines(std::size_t lineCount, std::size_t lineLength, std::uint32_t seed) {
  Bytes out;
  if (lineLength < 2) {
    return out;
  }
  out.reserve(lineCount * lineLength);
  std::uint32_t state = SeedState(seed);
  for (std::size_t line = 0; line < lineCount; ++line) {
    out.push_back(':');
    for (std::size_t i = 0; i + 2 < lineLength; ++i) {
      out.push_back(static_cast<std::uint8_t>(kHexDigits[NextRandom(state) >> 28]));
    }
    out.push_back('\n');
  }
  return out;
}

Bytes StampedMcuText(std::size_t lineCount, std::size_t lineLength, const Version& version,
                     std::uint32_t seed) {
  Bytes out = VersionStamp(version);
  Append(out, McuLines(lineCount, lineLength, seed));
  return out;
}

void Append(Bytes& out, const Bytes& bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

void AppendText(Bytes& out, const char* text) {
  out.insert(out.end(), text, text + std::strlen(text));
}

void AppendLe32(Bytes& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

void PutLe32(Bytes& out, std::size_t offset, std::uint32_t value) {
  if (offset > out.size() || out.size() - offset < 4) {
    return;
  }
  for (int i = 0; i < 4; ++i) {
    out[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

Bytes FpgaFile(const Bytes& bitstream, const Bytes& image) {
  Bytes out;
  AppendText(out, kMarkerFpga);
  AppendLe32(out, static_cast<std::uint32_t>(bitstream.size()));
  Append(out, bitstream);
  AppendText(out, kMarkerImg);
  AppendLe32(out, static_cast<std::uint32_t>(image.size()));
  Append(out, image);
  return out;
}

Bytes McuFile(const Bytes& mcuText, const Bytes& image) {
  Bytes out;
  AppendText(out, kMarkerMcu);
  AppendLe32(out, static_cast<std::uint32_t>(mcuText.size()));
  Append(out, mcuText);
  AppendText(out, kMarkerImg);
  AppendLe32(out, static_cast<std::uint32_t>(image.size()));
  Append(out, image);
  return out;
}

Bytes CombinedFile(std::uint8_t imageType, const Bytes& first, const Bytes& second) {
  Bytes out;
  out.push_back(imageType);
  for (const Bytes* image : {&first, &second}) {
    AppendText(out, kMarkerImg);
    out.push_back(0);  // the byte between marker and length, not read by the updater
    AppendLe32(out, static_cast<std::uint32_t>(image->size()));
    Append(out, *image);
  }
  return out;
}

Bytes Fx3BootImage(const std::vector<Fx3Section>& sections, std::uint32_t entryAddress,
                   const Fx3Options& options) {
  Bytes out = {'C', 'Y', options.control, options.imageType};
  std::uint32_t checksum = 0;
  for (const auto& section : sections) {
    Bytes data = section.data;
    data.resize((data.size() + 3) / 4 * 4, 0);
    AppendLe32(out, static_cast<std::uint32_t>(data.size() / 4));
    AppendLe32(out, section.address);
    for (std::size_t i = 0; i < data.size(); i += 4) {
      checksum += static_cast<std::uint32_t>(data[i]) |
                  (static_cast<std::uint32_t>(data[i + 1]) << 8) |
                  (static_cast<std::uint32_t>(data[i + 2]) << 16) |
                  (static_cast<std::uint32_t>(data[i + 3]) << 24);
    }
    Append(out, data);
  }
  AppendLe32(out, 0);
  AppendLe32(out, entryAddress);
  if (options.checksum) {
    AppendLe32(out, checksum);
  }
  return out;
}

std::vector<ExampleFile> ExampleFiles(const Version& v) {
  constexpr std::size_t kFlashLoaderLength = 86272;  // the count the ROM is told to expect
  constexpr std::uint32_t kFx3EntryAddress = 0x40003000;
  constexpr std::uint32_t kFx3DataAddress = 0x40000000;
  std::vector<ExampleFile> files;
  files.push_back({"fpga.img", FpgaFile(StampedPayload(5000, v, 1), StampedPayload(12000, v, 2))});
  files.push_back({"mcu.img", McuFile(StampedMcuText(50, 60, v, 3), StampedPayload(9000, v, 4))});
  // The second images end in a last block of 640 bytes (a multiple of 64), of 856 bytes, and on a
  // whole block, so that the examples cover each way a last block is sent.
  files.push_back({"combined_type1.img",
                   CombinedFile(1, StampedPayload(4196, v, 5), StampedPayload(6784, v, 6))});
  files.push_back({"combined_type2.img",
                   CombinedFile(2, StampedPayload(3000, v, 7), StampedPayload(7000, v, 8))});
  files.push_back({"combined_type3.img",
                   CombinedFile(3, StampedPayload(2048, v, 9), StampedPayload(5120, v, 10))});
  files.push_back({"nxp_firmware.bin", StampedPayload(20000, v, 11)});
  // Our own "program" for the FX3: a section that takes more than one 2048-byte request and a
  // small one, then the entry address.
  files.push_back({"bootloader.img", Fx3BootImage({{kFx3EntryAddress, StampedPayload(4000, v, 12)},
                                                   {kFx3DataAddress, StampedPayload(64, v, 13)}},
                                                  kFx3EntryAddress)});
  files.push_back({"RT1060_Flashloader_nopadding.bin", StampedPayload(kFlashLoaderLength, v, 14)});
  return files;
}

}  // namespace veltra::fwgen
