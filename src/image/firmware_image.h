// A firmware file, read: the parsed image an update sends, the reason a file is refused, and the
// one image the selection holds between Browse and the end of an update.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "core/boot_loader_step.h"
#include "core/update_session.h"
#include "platform/types.h"

namespace veltra {

// Frees a payload (the loader files; core/boot_loader_step.h) and empties it.
void ReleasePayload(Payload& payload);

// A run of bytes inside a parsed image's file. Valid for as long as the image (or a copy of it)
// lives: the image shares the ownership of the file's buffer.
struct ByteView {
  const std::uint8_t* data = nullptr;
  std::uint32_t length = 0;
};

// MCU text is sent in chunks of whole lines, each shorter than 1024 bytes. Offsets are into the
// text.
struct McuChunk {
  std::uint32_t offset = 0;
  std::uint32_t length = 0;
};
// false when a single line of 1024 bytes or more cannot be placed in a chunk.
bool SplitMcuChunks(const std::uint8_t* text, std::uint32_t length, std::vector<McuChunk>* chunks);

// What the markers make of a file. A file with both an FPGA and an MCU marker is an FPGA file.
enum class ImageKind : std::uint8_t { kFpga, kMcu, kCombined, kUnmarked };

// A combined file carries its type (1, 2 or 3) in the byte before its first marker; an unmarked
// file is written as type 3 (one pass, the second part only).
constexpr std::uint8_t kImageTypeLowest = 1;
constexpr std::uint8_t kImageTypeHighest = 3;
constexpr std::uint8_t kImageTypeUnmarked = 3;

struct ParsedImage {
  ImageKind kind = ImageKind::kUnmarked;
  // The combined file's type byte, 3 for an unmarked file, 0 for FPGA and MCU files.
  std::uint8_t imageType = 0;
  // FPGA bitstream, MCU text or a combined file's first image; empty for an unmarked file.
  ByteView part1;
  // The image behind "kwipIMG", a combined file's second image, or the whole unmarked file.
  ByteView part2;
  // The chunks the MCU text is sent in (MCU files only).
  std::vector<McuChunk> mcuChunks;
  // Keeps the file's buffer, and so both views, alive.
  std::shared_ptr<const std::uint8_t> file;
};

enum class ImageRefusal : std::uint8_t {
  kNone,
  kEmptyFile,
  kNoImgSection,      // an FPGA or MCU file without its "kwipIMG" section
  kNoImageType,       // a combined file whose first marker stands at the very start
  kUnknownImageType,  // a combined file whose type byte is not 1, 2 or 3
  kNoSecondImage,     // a combined file with one "kwipIMG" only
  kSectionPastEnd,    // a length that runs past the end of the file
  kMcuLineTooLong,    // an MCU line of 1024 bytes or more
};

struct ParseResult {
  std::optional<ParsedImage> image;  // set exactly when refusal is kNone
  ImageRefusal refusal = ImageRefusal::kNone;
  const wchar_t* section = nullptr;  // the section of kSectionPastEnd
  std::uint8_t imageType = 0;        // the byte of kUnknownImageType
};

// Reads a whole firmware file held in memory. No copy is made: the image's views point into the
// buffer it shares. Touches nothing outside its arguments.
ParseResult ParseFirmwareFile(std::shared_ptr<const std::uint8_t> file, std::uint32_t length);
// Copies bytes into a buffer of their own and reads that (tests, tools, fuzzing).
ParseResult ParseFirmwareBytes(const std::uint8_t* bytes, std::uint32_t length);

// ---- the selection ---------------------------------------------------------------------------
// The image chosen in Browse, held by the session until the next Browse replaces or discards it.
// The update holds its own reference while it sends, so a new Browse never pulls the bytes from
// under it. A combined image sets the session's bCombinedImage (see there).
void SelectImage(UpdateSession& update, std::shared_ptr<const ParsedImage> image);
std::shared_ptr<const ParsedImage> SelectedImage(const UpdateSession& update);
// The selected image's type; 0 when nothing is selected.
std::uint8_t SelectedImageType(const UpdateSession& update);

// The outcomes of Browse: 1: selected; 0: failure; 2: the user cancelled (nothing changes); 3:
// refused with a message of its own.
constexpr int kBrowseFailed = 0;
constexpr int kBrowseDone = 1;
constexpr int kBrowseCancelled = 2;
constexpr int kBrowseRefused = 3;

// What the user is told of a chosen file beyond the outcome.
struct FileProblem {
  enum class Kind : std::uint8_t {
    kNone,
    kCannotOpen,        // the path does not open (with kBrowseFailed)
    kUnknownImageType,  // the image type is not one the program writes (kBrowseRefused)
  };
  Kind kind = Kind::kNone;
  std::uint8_t imageType = 0;  // kUnknownImageType: the type the file carries
};

// Reads the firmware file at path into the selection; the earlier image goes whatever becomes of
// this one. Returns kBrowseDone, kBrowseFailed or kBrowseRefused; problem: what else to tell.
int SelectFirmwareFile(UpdateSession& update, const wchar_t* path, FileProblem* problem);

}  // namespace veltra
