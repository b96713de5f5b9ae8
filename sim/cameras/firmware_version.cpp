#include "sim/cameras/firmware_version.h"

#include <cstdio>
#include <cstring>

#include "sim/dfu_engine.h"

namespace veltra::sim {

namespace {

constexpr char kStampPrefix[] = "FWVER ";
constexpr std::size_t kStampPrefixLength = sizeof kStampPrefix - 1;
constexpr std::size_t kMaxStampLength = 40;  // "FWVER 255.255.65535.65535\n" and some slack

// Reads a decimal number of at most max from text[*pos...end); false when there is none.
bool ReadNumber(const std::uint8_t* text, std::size_t end, std::size_t* pos, std::uint32_t max,
                std::uint32_t* out) {
  std::uint32_t value = 0;
  const std::size_t start = *pos;
  while (*pos < end && text[*pos] >= '0' && text[*pos] <= '9') {
    value = value * 10 + static_cast<std::uint32_t>(text[*pos] - '0');
    if (value > max) {
      return false;
    }
    ++*pos;
  }
  *out = value;
  return *pos > start;
}

bool StampOf(const std::vector<std::uint8_t>& bytes, FirmwareVersion* out) {
  return ReadVersionStamp(bytes.data(), bytes.size(), out);
}

}  // namespace

bool operator==(const FirmwareVersion& a, const FirmwareVersion& b) {
  return a.major == b.major && a.minor == b.minor && a.build == b.build && a.revision == b.revision;
}

std::string ToString(const FirmwareVersion& version) {
  char text[32];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", static_cast<unsigned>(version.major),
                static_cast<unsigned>(version.minor), static_cast<unsigned>(version.build),
                static_cast<unsigned>(version.revision));
  return text;
}

bool ReadVersionStamp(const std::uint8_t* data, std::size_t length, FirmwareVersion* out) {
  if (data == nullptr || out == nullptr || length <= kStampPrefixLength ||
      std::memcmp(data, kStampPrefix, kStampPrefixLength) != 0) {
    return false;
  }
  const std::size_t end = length < kMaxStampLength ? length : kMaxStampLength;
  std::size_t pos = kStampPrefixLength;
  std::uint32_t fields[4] = {0, 0, 0, 0};
  const std::uint32_t limits[4] = {0xFF, 0xFF, 0xFFFF, 0xFFFF};
  for (int i = 0; i < 4; ++i) {
    if (!ReadNumber(data, end, &pos, limits[i], &fields[i])) {
      return false;
    }
    const std::uint8_t expected = i < 3 ? '.' : '\n';
    if (pos >= end || data[pos] != expected) {
      return false;
    }
    ++pos;
  }
  out->major = static_cast<std::uint8_t>(fields[0]);
  out->minor = static_cast<std::uint8_t>(fields[1]);
  out->build = static_cast<std::uint16_t>(fields[2]);
  out->revision = static_cast<std::uint16_t>(fields[3]);
  return true;
}

FirmwareVersion VersionOfDownload(const DfuFlash& flash) {
  FirmwareVersion version;
  // The last entry of imageSections is the section still being written.
  const std::size_t sections = flash.imageSections.size();
  if (sections >= 2 && StampOf(flash.imageSections[sections - 2], &version)) {
    return version;
  }
  if (StampOf(flash.mcu, &version) || StampOf(flash.fpga, &version)) {
    return version;
  }
  return kUnknownVersion;
}

}  // namespace veltra::sim
