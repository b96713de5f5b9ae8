// Builders of example firmware and loader files in the layouts the updater reads. Used by the
// veltra-mkfw tool and by the tests; nothing here is real firmware.
//
// Content. Every payload that a builder makes with a version (FPGA bitstream, MCU text, image
// sections, combined images, unmarked images, loader files) begins with the version stamp, the
// ASCII line
//
//     "FWVER <major>.<minor>.<build>.<revision>\n"      e.g. "FWVER 2.1.7.3\n"
//
// with the numbers in decimal (major and minor 0-255, build and revision 0-65535, the fields of
// the maker's version report). A virtual camera that received a payload finds the stamp at its
// start and reports that version. The stamp is a whole text line, so it is also a valid first line
// of an MCU text. The rest of each payload is filler from a fixed generator: the same seed always
// gives the same bytes, and filler never contains the byte 'k', so no section marker ("kwip...")
// can appear inside a payload by accident.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace veltra::fwgen {

using Bytes = std::vector<std::uint8_t>;

constexpr const char* kMarkerFpga = "kwipFPGA";
constexpr const char* kMarkerMcu = "kwipMCU";
constexpr const char* kMarkerImg = "kwipIMG";

struct Version {
  std::uint8_t major = 1;
  std::uint8_t minor = 0;
  std::uint16_t build = 0;
  std::uint16_t revision = 0;
};
bool operator==(const Version& a, const Version& b);
std::string ToString(const Version& version);  // "2.1.7.3"
// Parses "a.b.c.d"; false when the text is not four numbers in range.
bool ParseVersion(const std::string& text, Version* out);

// "FWVER a.b.c.d\n".
Bytes VersionStamp(const Version& version);
// The stamp at the start of a payload; false when there is none.
bool ReadVersionStamp(const std::uint8_t* data, std::size_t length, Version* out);

// ---- payloads ------------------------------------------------------------------------------
// length filler bytes (never 'k').
Bytes Filler(std::size_t length, std::uint32_t seed);
// Exactly length bytes: the stamp, then filler. A length shorter than the stamp gives filler only.
Bytes StampedPayload(std::size_t length, const Version& version, std::uint32_t seed);
// lineCount lines of exactly lineLength bytes each (lineLength >= 2), the line feed included:
// ':' followed by upper-case hexadecimal digits.
Bytes McuLines(std::size_t lineCount, std::size_t lineLength, std::uint32_t seed);
// The stamp line followed by McuLines.
Bytes StampedMcuText(std::size_t lineCount, std::size_t lineLength, const Version& version,
                     std::uint32_t seed);

// ---- byte helpers ----------------------------------------------------------------------------
void Append(Bytes& out, const Bytes& bytes);
void AppendText(Bytes& out, const char* text);  // without its terminator
void AppendLe32(Bytes& out, std::uint32_t value);
void PutLe32(Bytes& out, std::size_t offset, std::uint32_t value);  // overwrites 4 bytes in place

// ---- firmware files (lengths little-endian 32-bit) -----------------------------------------
// "kwipFPGA" len bitstream "kwipIMG" len image
Bytes FpgaFile(const Bytes& bitstream, const Bytes& image);
// "kwipMCU" len text "kwipIMG" len image
Bytes McuFile(const Bytes& mcuText, const Bytes& image);
// type "kwipIMG" 0x00 len first "kwipIMG" 0x00 len second
Bytes CombinedFile(std::uint8_t imageType, const Bytes& first, const Bytes& second);
// Offsets of the pieces of a combined file, for tests that damage one field.
constexpr std::size_t kCombinedFirstLengthAt = 1 + 7 + 1;
constexpr std::size_t kCombinedFirstDataAt = kCombinedFirstLengthAt + 4;

// ---- FX3 boot image --------------------------------------------------------------------------
// "CY", two header bytes, then sections of (N words, address, 4*N data bytes), then a terminating
// section (0, entry address) and, optionally, a checksum word (the 32-bit sum of every data word).
struct Fx3Section {
  std::uint32_t address = 0;
  Bytes data;  // padded with zeros to whole 32-bit words
};
struct Fx3Options {
  std::uint8_t control = 0x1C;    // header byte 2, not read by the updater
  std::uint8_t imageType = 0xB0;  // header byte 3, not read by the updater
  bool checksum = true;
};
Bytes Fx3BootImage(const std::vector<Fx3Section>& sections, std::uint32_t entryAddress,
                   const Fx3Options& options = Fx3Options{});

// ---- the example set ---------------------------------------------------------------------------
// One file of every kind, as veltra-mkfw writes them, every payload stamped with the version:
//   fpga.img                          FPGA file: bitstream + image section
//   mcu.img                           MCU file: MCU text + image section
//   combined_type1.img .. type3.img   combined files of image type 1, 2 and 3
//   nxp_firmware.bin                  unmarked image, the NXP route's raw *.bin
//   bootloader.img                    FX3 boot image (two sections, entry address, checksum)
//   RT1060_Flashloader_nopadding.bin  NXP flash loader, 86272 bytes
struct ExampleFile {
  std::string name;
  Bytes bytes;
};
std::vector<ExampleFile> ExampleFiles(const Version& version);

}  // namespace veltra::fwgen
