// veltra-bench judges "the camera holds what the file holds" with its own reading of the file.
// That reading must find the sections where the program finds them, or the bench reports a
// camera holding exactly the right bytes as differing. Checked on every seed of the firmware-file
// fuzz corpus and on the layouts that once misled it.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/firmware_image.h"
#include "support/firmware_files.h"
#include "veltra-bench/file_reading.h"

namespace veltra::test {
namespace {

Bytes Le32(std::uint32_t n) {
  return {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
          static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)};
}
Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}
Bytes Join(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& part : parts) {
    out.insert(out.end(), part.begin(), part.end());
  }
  return out;
}
Bytes View(const ByteView& view) {
  return Bytes(view.data, view.data + view.length);
}

// The bench's reading agrees with the program's on a file the program takes.
void ExpectSameReading(const std::string& name, const Bytes& file) {
  SCOPED_TRACE(name);
  const ParseResult parsed =
      ParseFirmwareBytes(file.data(), static_cast<std::uint32_t>(file.size()));
  const bench::FileReading reading = bench::ReadFirmwareFile(file);
  if (!parsed.image) {
    return;  // refused in Browse: the bench never compares it
  }
  const ParsedImage& image = *parsed.image;
  switch (image.kind) {
    case ImageKind::kFpga:
      ASSERT_EQ(reading.kind, bench::FileReading::Kind::kFpga);
      EXPECT_EQ(reading.bitstream, View(image.part1));
      break;
    case ImageKind::kMcu: {
      ASSERT_EQ(reading.kind, bench::FileReading::Kind::kMcu);
      // What the program sends of the text: its chunks, one after the other.
      Bytes sent;
      for (const McuChunk& chunk : image.mcuChunks) {
        sent.insert(sent.end(), image.part1.data + chunk.offset,
                    image.part1.data + chunk.offset + chunk.length);
      }
      EXPECT_EQ(reading.mcuText, sent);
      break;
    }
    case ImageKind::kCombined:
      ASSERT_EQ(reading.kind, bench::FileReading::Kind::kCombined);
      EXPECT_EQ(reading.combinedType, image.imageType);
      EXPECT_EQ(reading.first, View(image.part1));
      break;
    case ImageKind::kUnmarked:
      ASSERT_EQ(reading.kind, bench::FileReading::Kind::kUnmarked);
      break;
  }
  EXPECT_EQ(reading.image, View(image.part2));
}

TEST(BenchReading, FindsTheSectionsWhereTheProgramFindsThem) {
  const std::filesystem::path corpus =
      std::filesystem::path(VELTRA_SOURCE_ROOT) / "fuzz" / "corpus" / "firmware_file";
  int seeds = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ExpectSameReading(entry.path().filename().string(), file);
    ++seeds;
  }
  EXPECT_GT(seeds, 10);

  const Bytes text = Text(":10000000AABB\r\n:10001000CCDD\r\n");
  const Bytes image = PayloadBytes(3000, 7);
  const Bytes first = PayloadBytes(2000, 8);
  const Bytes partial = Join({text, Text(":10FFFF00DEAD")});
  // "kwipMCU" after a header of the file's own.
  ExpectSameReading("mcu_marker_not_at_the_start",
                    Join({Text("HDR!kwipMCU"), Le32(text.size()), text, Text("kwipIMG"),
                          Le32(image.size()), image}));
  // MCU text whose last line has no line feed: that line never reaches the camera.
  ExpectSameReading("mcu_partial_last_line", Join({Text("kwipMCU"), Le32(partial.size()), partial,
                                                   Text("kwipIMG"), Le32(image.size()), image}));
  // A type-2 combined file with bytes before, between and after its sections.
  ExpectSameReading(
      "combined_with_gaps",
      Join({Text("PAD"), Bytes{2}, Text("kwipIMG"), Bytes{0}, Le32(first.size()), first,
            Text("GAPGAP"), Text("kwipIMG"), Bytes{0}, Le32(image.size()), image, Text("TAIL")}));
}

}  // namespace
}  // namespace veltra::test
