// veltra-bench's own reading of a firmware file, written from the file layouts and sharing no code
// with the program's parser, so that "the camera holds what the file holds" is judged against a
// second opinion and not against the program's own view of the file.
//
//   "kwipFPGA" len bitstream ... "kwipIMG" len image      FPGA file
//   "kwipMCU"  len text      ... "kwipIMG" len image      MCU file
//   type "kwipIMG" x len first ... "kwipIMG" x len second  combined file (type 1, 2 or 3)
//   no marker at all                                       unmarked image: the whole file
//
// Lengths are little-endian 32-bit. The markers are found where the program finds them: each is
// searched anywhere in the file (bytes before and between sections are allowed), "kwipIMG" from
// the file's start, a combined file's second marker from four bytes after its first, its type is
// the byte before its first marker. An MCU file's text reaches the camera up to its last line
// feed: a last line without one is never sent, so it is not what the camera should hold.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace veltra::bench {

struct FileReading {
  // kRefused: a marked file the program refuses in Browse (nothing to compare).
  enum class Kind { kFpga, kMcu, kCombined, kUnmarked, kRefused };
  Kind kind = Kind::kUnmarked;
  std::uint8_t combinedType = 0;
  std::vector<std::uint8_t> bitstream;  // FPGA file
  std::vector<std::uint8_t> mcuText;    // MCU file: its text up to the last line feed
  std::vector<std::uint8_t> first;      // combined file: the first image
  std::vector<std::uint8_t> image;      // the image section, the combined file's second image,
                                        // or the whole unmarked file
};

// Reads the layout as the program does; a marked file that does not hold together is kRefused.
FileReading ReadFirmwareFile(const std::vector<std::uint8_t>& bytes);
std::string Describe(const FileReading& reading);

}  // namespace veltra::bench
