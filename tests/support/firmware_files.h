// Firmware files for tests: the builders of veltra_fwgen with handy defaults, and temp files
// to hand to the program (a per-test folder, created fresh for each test).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/firmware_image.h"
#include "veltra-mkfw/fwgen.h"

namespace veltra::test {

using fwgen::Bytes;
using fwgen::CombinedFile;
using fwgen::FpgaFile;
using fwgen::Fx3BootImage;
using fwgen::Fx3Options;
using fwgen::Fx3Section;
using fwgen::McuFile;
using fwgen::Version;

// length deterministic bytes (never a marker); a different seed gives different bytes.
Bytes PayloadBytes(std::size_t length, std::uint32_t seed = 1);
// lineCount MCU text lines of exactly lineLength bytes, line feed included.
Bytes McuText(std::size_t lineCount, std::size_t lineLength, std::uint32_t seed = 1);

// Files of each kind with small default contents.
Bytes FpgaFileBytes(std::size_t bitstreamLength = 3000, std::size_t imageLength = 2500);
Bytes McuFileBytes(std::size_t lineCount = 20, std::size_t lineLength = 100,
                   std::size_t imageLength = 2500);
Bytes CombinedFileBytes(std::uint8_t imageType = 1, std::size_t firstLength = 3000,
                        std::size_t secondLength = 2500);

// The payload after a marker in a firmware file: its length (little-endian, gap bytes after the
// marker) and data. The occurrence-th marker counts from 0. Empty, and a test failure, when the
// file has no such section.
Bytes FileSection(const Bytes& file, const char* marker, std::size_t gap, int occurrence = 0);

// Reads a whole file from memory as Browse does and makes it the session's selection: the
// selected image, or nullptr (and nothing selected) when the file is refused.
std::shared_ptr<const ParsedImage> SelectFirmware(UpdateSession& update, const Bytes& file);

struct TempFile {
  std::string hostPath;  // for the host's own file calls
  std::wstring path;     // Windows form (backslashes), as the program sees paths on the bench
};
// The current test's own folder (host form, no trailing slash), emptied on first use in a test.
std::string TestTempDir();
// Writes bytes to TestTempDir()/name.
TempFile WriteTempFile(const std::string& name, const Bytes& bytes);
// The Windows form of a host path.
std::wstring WindowsPath(const std::string& hostPath);

}  // namespace veltra::test
