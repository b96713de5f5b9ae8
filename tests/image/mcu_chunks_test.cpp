#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "image/firmware_image.h"
#include "support/firmware_files.h"

namespace veltra {
namespace {

using test::Bytes;
using Chunks = std::vector<std::pair<std::uint32_t, std::uint32_t>>;  // offset, length

Bytes Lines(std::initializer_list<std::size_t> lengths) {
  Bytes text;
  for (const auto length : lengths) {
    fwgen::Append(text, test::McuText(1, length, 7));
  }
  return text;
}

bool Split(const Bytes& text, Chunks* out) {
  std::vector<McuChunk> chunks;
  const bool ok = SplitMcuChunks(text.data(), static_cast<std::uint32_t>(text.size()), &chunks);
  out->clear();
  for (const auto& c : chunks) {
    out->emplace_back(c.offset, c.length);
  }
  return ok;
}

TEST(McuChunks, ChunkBoundaries) {
  Bytes partial = Lines({100, 100, 100});
  fwgen::AppendText(partial, ":0011");  // no line feed after the last line
  Bytes onlyPartial;
  fwgen::AppendText(onlyPartial, ":00112233");

  struct Case {
    const char* name;
    Bytes text;
    Chunks expected;
  };
  const std::vector<Case> cases = {
      {"one short line", Lines({50}), {{0, 50}}},
      {"1500 bytes of 100-byte lines", test::McuText(15, 100), {{0, 1000}, {1000, 500}}},
      {"lines adding up to exactly 1024", test::McuText(8, 128), {{0, 896}, {896, 128}}},
      {"partial last line is dropped, full lines are kept", partial, {{0, 300}}},
      {"no line feed at all", onlyPartial, {}},
      {"line of 1023 bytes", Lines({1023}), {{0, 1023}}},
      {"1023-byte line after a short one", Lines({10, 1023, 5}), {{0, 10}, {10, 1023}, {1033, 5}}},
      {"empty text", Bytes(), {}},
  };
  for (const auto& c : cases) {
    Chunks chunks;
    EXPECT_TRUE(Split(c.text, &chunks)) << c.name;
    EXPECT_EQ(chunks, c.expected) << c.name;
  }
}

TEST(McuChunks, LineOf1024BytesOrMoreIsRefused) {
  for (const auto& text : {Lines({1024}), Lines({10, 2000, 10}), Lines({100, 1023, 1024})}) {
    Chunks chunks = {{9, 9}};
    EXPECT_FALSE(Split(text, &chunks));
    EXPECT_TRUE(chunks.empty());
    EXPECT_FALSE(SplitMcuChunks(text.data(), static_cast<std::uint32_t>(text.size()), nullptr));
  }
}

// Whatever the line lengths: the chunks follow each other without gap, each ends on a line feed,
// each stays below 1024 bytes, and together they cover the text up to its last line feed.
TEST(McuChunks, ChunksTileTheTextUpToItsLastLineFeed) {
  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    Bytes text;
    std::uint32_t state = seed;
    for (int line = 0; line < 60; ++line) {
      state = state * 1103515245u + 12345u;
      fwgen::Append(text, test::McuText(1, 2 + (state >> 16) % 1022, seed));
    }
    if (seed % 2 == 0) {
      fwgen::AppendText(text, ":tail");
    }
    Chunks chunks;
    ASSERT_TRUE(Split(text, &chunks));
    std::uint32_t next = 0;
    for (const auto& [offset, length] : chunks) {
      EXPECT_EQ(offset, next);
      EXPECT_GT(length, 0u);
      EXPECT_LT(length, 1024u);
      EXPECT_EQ(text[offset + length - 1], '\n');
      next = offset + length;
    }
    EXPECT_EQ(next, seed % 2 == 0 ? text.size() - 5 : text.size()) << seed;
  }
}

}  // namespace
}  // namespace veltra
