// Fuzz target: the firmware file layout (SplitFirmwareFile, with the MCU chunk count it makes).
//
// The input is the whole file. Before it is split, the state holds an earlier, valid selection, so
// that leftovers of the earlier file would show. The outcome is compared with the layout rules
// worked out here from the file itself: which kind the markers make it, where each section lies,
// whether it fits, and what the payloads must then hold byte for byte. A refused file must leave
// no payload and no kind flag behind.
#include <algorithm>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_targets.h"

namespace veltra::fuzz {

namespace firmware_file {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

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
  const std::uint8_t* p = file.data() + markerPos + lengthAt;
  s.length = static_cast<std::size_t>(p[0]) | (static_cast<std::size_t>(p[1]) << 8) |
             (static_cast<std::size_t>(p[2]) << 16) | (static_cast<std::size_t>(p[3]) << 24);
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
    e.accepted = e.first.fits && e.second.fits &&
                 SplitMcuChunks(file.data() + e.first.offset,
                                static_cast<std::uint32_t>(e.first.length), nullptr);
  } else if (img != kNone) {
    e.kind = Kind::kCombined;
    if (img > 0) {
      e.imageType = file[img - 1];
      e.first = SectionAt(file, img, 8);
      e.second = SectionAt(file, Find(file, "kwipIMG", img + 4), 8);
      e.accepted = e.first.fits && e.second.fits;
    }
  } else {
    e.kind = Kind::kUnmarked;
    e.accepted = true;
    e.second = Slice{true, 0, file.size()};
    e.imageType = 3;
  }
  return e;
}

bool Holds(const Payload& payload, const Bytes& file, const Slice& slice) {
  return payload.data != nullptr && payload.length == slice.length &&
         (slice.length == 0 ||
          std::memcmp(payload.data, file.data() + slice.offset, slice.length) == 0);
}

// A small valid combined file of image type 0x42, split before the fuzzed one.
Bytes EarlierSelection() {
  Bytes f = {0x42};
  const char* marker = "kwipIMG";
  for (int image = 0; image < 2; ++image) {
    f.insert(f.end(), marker, marker + 7);
    f.push_back(0);
    f.insert(f.end(), {3, 0, 0, 0, 'a', 'b', 'c'});
  }
  return f;
}
constexpr std::uint8_t kEarlierImageType = 0x42;

}  // namespace firmware_file

std::string CheckFirmwareFile(const std::uint8_t* data, std::size_t size) {
  using namespace firmware_file;
  if (size > 0xFFFFFFFFu) {
    return "";
  }
  Bench bench;
  Findings f;
  const Bytes earlier = EarlierSelection();
  if (!f.Expect(SplitFirmwareFile(earlier.data(), static_cast<std::uint32_t>(earlier.size())) == 1,
                "the earlier selection was refused")) {
    return f.Result();
  }

  // An exact-size heap copy, so that the address sanitizer sees a read past the end.
  const Bytes file(data, data + size);
  std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[size == 0 ? 1 : size]);
  std::copy(file.begin(), file.end(), copy.get());
  const int result = SplitFirmwareFile(copy.get(), static_cast<std::uint32_t>(size));

  const Expected e = Layout(file);
  f.Expect(result == (e.accepted ? 1 : 0), "result " + std::to_string(result) +
                                               " for a file the layout " +
                                               (e.accepted ? "accepts" : "refuses"));
  if (!e.accepted) {
    f.Expect(imagePart1.data == nullptr && imagePart2.data == nullptr,
             "a refused file left a payload");
    f.Expect(g_bFPGAImage == 0 && g_bMCUImage == 0 && g_bCombinedImage == 0,
             "a refused file left a kind flag");
    f.Expect(g_mcuChunkCount == 0, "a refused file left an MCU chunk count");
    return f.Result();
  }
  if (result != 1) {
    return f.Result();
  }

  f.Expect((g_bFPGAImage != 0) == (e.kind == Kind::kFpga), "FPGA flag");
  f.Expect((g_bMCUImage != 0) == (e.kind == Kind::kMcu), "MCU flag");
  f.Expect((g_bCombinedImage != 0) == (e.kind == Kind::kCombined), "combined flag");
  f.Expect(Holds(imagePart2, file, e.second), "imagePart2 differs from its section");
  switch (e.kind) {
    case Kind::kFpga:
      f.Expect(Holds(imagePart1, file, e.first), "imagePart1 differs from the FPGA section");
      f.Expect(g_mcuChunkCount == 0, "an FPGA file has MCU chunks");
      f.Expect(g_imageType == kEarlierImageType, "an FPGA file changed the image type");
      break;
    case Kind::kMcu: {
      f.Expect(Holds(imagePart1, file, e.first), "imagePart1 differs from the MCU section");
      std::vector<McuChunk> chunks;
      SplitMcuChunks(imagePart1.data, imagePart1.length, &chunks);
      f.Expect(g_mcuChunkCount == chunks.size(), "MCU chunk count differs from the chunks sent");
      f.Expect(g_imageType == kEarlierImageType, "an MCU file changed the image type");
      break;
    }
    case Kind::kCombined:
      f.Expect(Holds(imagePart1, file, e.first), "imagePart1 differs from the first image");
      f.Expect(g_imageType == e.imageType, "image type is not the byte before the marker");
      break;
    case Kind::kUnmarked:
      f.Expect(imagePart1.data == nullptr, "an unmarked file kept an earlier imagePart1");
      f.Expect(g_imageType == e.imageType, "an unmarked file is not of image type 3");
      break;
  }
  return f.Result();
}

}  // namespace veltra::fuzz

VELTRA_FUZZ_TARGET(veltra::fuzz::CheckFirmwareFile)
