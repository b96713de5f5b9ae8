// Fuzz target: reading a firmware file (ParseFirmwareFile, with the MCU chunks SplitMcuChunks makes
// of an MCU file's text).
//
// The input is the whole file. The outcome is compared with the layout rules worked out here from
// the file itself: which kind the markers make it, where each section lies, whether it fits, which
// image types a combined file may carry, and what the two parts must then hold byte for byte.
// The parts must be views into the file itself, never past its end.
#include <algorithm>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_targets.h"

namespace veltra::fuzz {

namespace firmware_file {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// The MCU text is sent in chunks of whole lines, each under 1024 bytes, closed only when the next
// line no longer fits, from the start to the last line feed; a complete line of 1024 bytes or more
// refuses the text.
constexpr std::size_t kMcuChunkBytes = 1024;

// Length of the line starting at `at`, its line feed included; 0 when no line feed follows.
std::size_t McuLineAt(const std::uint8_t* text, std::size_t size, std::size_t at) {
  const std::uint8_t* feed = std::find(text + at, text + size, std::uint8_t{0x0A});
  return feed == text + size ? 0 : static_cast<std::size_t>(feed - text) + 1 - at;
}

// Where the sendable text ends (after its last line feed); *tooLong when a line refuses it.
std::size_t McuTextEnd(const std::uint8_t* text, std::size_t size, bool* tooLong) {
  std::size_t end = 0;
  *tooLong = false;
  for (std::size_t line = 0; (line = McuLineAt(text, size, end)) != 0; end += line) {
    *tooLong = *tooLong || line >= kMcuChunkBytes;
  }
  return end;
}

// "" when the chunks of an accepted text follow the rule above, else what broke.
std::string BrokenMcuChunkRule(const std::uint8_t* text, std::size_t size,
                               const std::vector<McuChunk>& chunks) {
  bool lineTooLong = false;
  const std::size_t end = McuTextEnd(text, size, &lineTooLong);
  std::size_t next = 0;
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    const McuChunk& c = chunks[i];
    const std::string at = "chunk " + std::to_string(i) + ": ";
    if (c.offset != next || c.length == 0 || c.length >= kMcuChunkBytes ||
        c.offset + c.length > end) {
      return at + "not the next piece of the text under 1024 bytes";
    }
    if (text[c.offset + c.length - 1] != 0x0A) {
      return at + "does not end a line";
    }
    next = c.offset + c.length;
    if (next < end && c.length + McuLineAt(text, size, next) < kMcuChunkBytes) {
      return at + "closed while the next line still fitted";
    }
  }
  return next == end ? "" : "the chunks do not reach the last line feed";
}

std::size_t Find(const Bytes& file, const char* marker, std::size_t from = 0) {
  const std::size_t n = std::strlen(marker);
  if (from >= file.size()) {
    return kNone;
  }
  const auto it =
      std::search(file.begin() + static_cast<std::ptrdiff_t>(from), file.end(), marker, marker + n);
  return it == file.end() ? kNone : static_cast<std::size_t>(it - file.begin());
}

// A section whose 32-bit little-endian length stands lengthAt bytes after its marker, with the
// data right behind the length.
struct Slice {
  bool fits = false;
  std::size_t offset = 0;
  std::size_t length = 0;
};

Slice SectionAt(const Bytes& file, std::size_t markerPos, std::size_t lengthAt) {
  Slice s;
  if (markerPos == kNone || markerPos + lengthAt + 4 > file.size()) {
    return s;
  }
  s.length = Le32(file.data() + markerPos + lengthAt);
  s.offset = markerPos + lengthAt + 4;
  s.fits = s.length <= file.size() - s.offset;
  return s;
}

enum class Kind { kFpga, kMcu, kCombined, kUnmarked };

struct Expected {
  Kind kind = Kind::kUnmarked;
  bool accepted = false;
  Slice first;
  Slice second;
  std::uint8_t imageType = 0;
};

Expected Layout(const Bytes& file) {
  Expected e;
  if (file.empty()) {
    return e;
  }
  const std::size_t img = Find(file, "kwipIMG");
  if (const std::size_t fpga = Find(file, "kwipFPGA"); fpga != kNone) {
    e.kind = Kind::kFpga;
    e.first = SectionAt(file, fpga, 8);
    e.second = SectionAt(file, img, 7);
    e.accepted = e.first.fits && e.second.fits;
  } else if (const std::size_t mcu = Find(file, "kwipMCU"); mcu != kNone) {
    e.kind = Kind::kMcu;
    e.first = SectionAt(file, mcu, 7);
    e.second = SectionAt(file, img, 7);
    // The MCU text must also be cut into chunks: no line of 1024 bytes or more.
    bool lineTooLong = true;
    if (e.first.fits) {
      McuTextEnd(file.data() + e.first.offset, e.first.length, &lineTooLong);
    }
    e.accepted = e.first.fits && e.second.fits && !lineTooLong;
  } else if (img != kNone) {
    e.kind = Kind::kCombined;
    if (img > 0) {
      e.imageType = file[img - 1];
      e.first = SectionAt(file, img, 8);
      e.second = SectionAt(file, Find(file, "kwipIMG", img + 4), 8);
      // Only the types the pass rules know can be written.
      e.accepted = e.first.fits && e.second.fits && e.imageType >= 1 && e.imageType <= 3;
    }
  } else {
    e.kind = Kind::kUnmarked;
    e.accepted = true;
    e.second = Slice{true, 0, file.size()};
    e.imageType = 3;
  }
  return e;
}

bool Holds(const ByteView& view, const Bytes& file, const std::uint8_t* base, const Slice& slice) {
  // The view must be the file's own bytes at the section's place, not a copy and not beyond.
  return view.data == base + slice.offset && view.length == slice.length &&
         (slice.length == 0 ||
          std::memcmp(view.data, file.data() + slice.offset, slice.length) == 0);
}

}  // namespace firmware_file

std::string CheckFirmwareFile(const std::uint8_t* data, std::size_t size) {
  using namespace firmware_file;
  if (size > 0xFFFFFFFFu) {
    return "";
  }
  Findings f;
  // An exact-size heap copy, so that the address sanitizer sees a read past the end.
  const Bytes file(data, data + size);
  std::shared_ptr<std::uint8_t> copy(new std::uint8_t[size == 0 ? 1 : size],
                                     std::default_delete<std::uint8_t[]>());
  std::copy(file.begin(), file.end(), copy.get());
  const std::uint8_t* base = copy.get();
  const ParseResult result =
      ParseFirmwareFile(size == 0 ? nullptr : std::move(copy), static_cast<std::uint32_t>(size));

  const Expected e = Layout(file);
  f.Expect(result.image.has_value() == e.accepted,
           std::string("the layout ") + (e.accepted ? "accepts" : "refuses") + " the file");
  f.Expect(result.image.has_value() == (result.refusal == ImageRefusal::kNone),
           "an image and a refusal reason disagree");
  if (!result.image || !e.accepted) {
    return f.Result();
  }

  const ParsedImage& image = *result.image;
  static constexpr ImageKind kKinds[] = {ImageKind::kFpga, ImageKind::kMcu, ImageKind::kCombined,
                                         ImageKind::kUnmarked};
  f.Expect(image.kind == kKinds[static_cast<int>(e.kind)], "kind");
  f.Expect(image.file.get() == base, "the image does not hold the file it was given");
  f.Expect(Holds(image.part2, file, base, e.second), "part 2 differs from its section");
  f.Expect(image.imageType == e.imageType, "image type");
  switch (e.kind) {
    case Kind::kFpga:
    case Kind::kCombined:
      f.Expect(Holds(image.part1, file, base, e.first), "part 1 differs from its section");
      f.Expect(image.mcuChunks.empty(), "MCU chunks for a file without MCU text");
      break;
    case Kind::kMcu: {
      f.Expect(Holds(image.part1, file, base, e.first), "part 1 differs from the MCU section");
      const std::string broken =
          BrokenMcuChunkRule(image.part1.data, image.part1.length, image.mcuChunks);
      f.Expect(broken.empty(), "MCU chunks: " + broken);
      break;
    }
    case Kind::kUnmarked:
      f.Expect(image.part1.length == 0, "an unmarked file has a first part");
      break;
  }
  return f.Result();
}

}  // namespace veltra::fuzz

VELTRA_FUZZ_TARGET(veltra::fuzz::CheckFirmwareFile)
