// veltra-bench's own reading of a firmware file, written from the file layouts and sharing no code
// with the program's parser, so that "the camera holds what the file holds" is judged against a
// second opinion and not against the program's own view of the file.
//
//   "kwipFPGA" len bitstream "kwipIMG" len image          FPGA file
//   "kwipMCU"  len text      "kwipIMG" len image          MCU file
//   type "kwipIMG" 0x00 len first "kwipIMG" 0x00 len second   combined file (type 1, 2 or 3)
//   anything else                                         unmarked image: the whole file
//
// Lengths are little-endian 32-bit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace veltra::bench {

struct FileReading {
  enum class Kind { kFpga, kMcu, kCombined, kUnmarked };
  Kind kind = Kind::kUnmarked;
  std::uint8_t combinedType = 0;
  std::vector<std::uint8_t> bitstream;  // FPGA file
  std::vector<std::uint8_t> mcuText;    // MCU file
  std::vector<std::uint8_t> first;      // combined file: the first image
  std::vector<std::uint8_t> image;      // the image section, the combined file's second image,
                                        // or the whole unmarked file
};

// Reads the layout; a file that starts like a marked file but does not hold together is read as
// an unmarked image, which is what it then is to a camera.
FileReading ReadFirmwareFile(const std::vector<std::uint8_t>& bytes);
std::string Describe(const FileReading& reading);

}  // namespace veltra::bench
