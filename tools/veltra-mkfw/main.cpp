// veltra-mkfw: writes example firmware files of every kind and the two loader files into a
// folder, for the bench, the demo and manual tries of the updater. The content is ours (see
// fwgen.h for the version stamp); none of it is real firmware.
//
//   veltra-mkfw <folder> [--version a.b.c.d]
//
// Files written:
//   fpga.img                          FPGA file: bitstream + image section
//   mcu.img                           MCU file: MCU text + image section
//   combined_type1.img .. type3.img   combined files of image type 1, 2 and 3
//   nxp_firmware.bin                  unmarked image, the NXP route's raw *.bin
//   bootloader.img                    FX3 boot image (two sections, entry address, checksum)
//   RT1060_Flashloader_nopadding.bin  NXP flash loader, 86272 bytes
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "veltra-mkfw/fwgen.h"

namespace {

using veltra::fwgen::Bytes;
using veltra::fwgen::Version;
namespace fw = veltra::fwgen;

constexpr std::size_t kFlashLoaderLength = 86272;  // the count the ROM is told to expect
constexpr std::uint32_t kFx3EntryAddress = 0x40003000;

struct OutputFile {
  const char* name;
  Bytes bytes;
};

std::vector<OutputFile> ExampleFiles(const Version& v) {
  std::vector<OutputFile> files;
  files.push_back(
      {"fpga.img", fw::FpgaFile(fw::StampedPayload(5000, v, 1), fw::StampedPayload(12000, v, 2))});
  files.push_back(
      {"mcu.img", fw::McuFile(fw::StampedMcuText(50, 60, v, 3), fw::StampedPayload(9000, v, 4))});
  // The second images end in a last block of 640 bytes (a multiple of 64), of 856 bytes, and on a
  // whole block, so that the examples cover each way a last block is sent.
  files.push_back({"combined_type1.img", fw::CombinedFile(1, fw::StampedPayload(4196, v, 5),
                                                          fw::StampedPayload(6784, v, 6))});
  files.push_back({"combined_type2.img", fw::CombinedFile(2, fw::StampedPayload(3000, v, 7),
                                                          fw::StampedPayload(7000, v, 8))});
  files.push_back({"combined_type3.img", fw::CombinedFile(3, fw::StampedPayload(2048, v, 9),
                                                          fw::StampedPayload(5120, v, 10))});
  files.push_back({"nxp_firmware.bin", fw::StampedPayload(20000, v, 11)});
  // Our own "program" for the FX3: a section that takes more than one 2048-byte request and a
  // small one, then the entry address.
  files.push_back(
      {"bootloader.img", fw::Fx3BootImage({{kFx3EntryAddress, fw::StampedPayload(4000, v, 12)},
                                           {0x40000000, fw::StampedPayload(64, v, 13)}},
                                          kFx3EntryAddress)});
  files.push_back(
      {"RT1060_Flashloader_nopadding.bin", fw::StampedPayload(kFlashLoaderLength, v, 14)});
  return files;
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    return false;
  }
  const bool written =
      bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

int Usage() {
  std::fprintf(stderr, "usage: veltra-mkfw <folder> [--version a.b.c.d]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    return Usage();
  }
  Version version;
  version.major = 2;
  version.minor = 1;
  version.build = 7;
  version.revision = 3;
  if (argc == 4) {
    if (std::strcmp(argv[2], "--version") != 0 || !fw::ParseVersion(argv[3], &version)) {
      return Usage();
    }
  }
  std::string folder = argv[1];
  if (!folder.empty() && folder.back() != '/') {
    folder += '/';
  }
  for (const auto& file : ExampleFiles(version)) {
    const std::string path = folder + file.name;
    if (!WriteFile(path, file.bytes)) {
      std::fprintf(stderr, "veltra-mkfw: cannot write %s\n", path.c_str());
      return 1;
    }
    std::printf("%s  %zu bytes  version %s\n", path.c_str(), file.bytes.size(),
                fw::ToString(version).c_str());
  }
  return 0;
}
