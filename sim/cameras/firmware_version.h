// The firmware version a virtual camera reports, and where it comes from when the camera has
// received new firmware.
//
// Every payload the bench's example files carry (tools/veltra-mkfw) starts with the ASCII line
// "FWVER <major>.<minor>.<build>.<revision>\n" in decimal. A camera that received a download
// reports the stamp of what it received, looked for in this order: the last image section
// completed by a manifest, the MCU text, the FPGA bitstream. A download that carries no stamp at
// all leaves the camera reporting 0.0.0.0, so a test notices firmware it did not expect.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace veltra::sim {

struct DfuFlash;

struct FirmwareVersion {
  std::uint8_t major = 1;
  std::uint8_t minor = 0;
  std::uint16_t build = 0;
  std::uint16_t revision = 0;
};
bool operator==(const FirmwareVersion& a, const FirmwareVersion& b);
inline bool operator!=(const FirmwareVersion& a, const FirmwareVersion& b) {
  return !(a == b);
}
// "a.b.c.d".
std::string ToString(const FirmwareVersion& version);

// The version a download carries when no stamp is found.
constexpr FirmwareVersion kUnknownVersion{0, 0, 0, 0};

// Reads the stamp at the start of data; false when there is none (never reads past length).
bool ReadVersionStamp(const std::uint8_t* data, std::size_t length, FirmwareVersion* out);

// The version carried by what a DFU-mode camera received (see the order above).
FirmwareVersion VersionOfDownload(const DfuFlash& flash);

}  // namespace veltra::sim
