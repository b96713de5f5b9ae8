// The MCU text's chunk limits: lines packed up to 1000 bytes, a chunk of one long line up to 1023
// bytes, a 1024-byte line refused. The chunking rules as a whole are fuzzed.
#include <gtest/gtest.h>

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

TEST(McuChunks, ChunksStopAtTheirLimitsAndA1024ByteLineIsRefused) {
  struct Case {
    const char* name;
    Bytes text;
    Chunks expected;
  };
  const std::vector<Case> cases = {
      {"1500 bytes of 100-byte lines", test::McuText(15, 100), {{0, 1000}, {1000, 500}}},
      {"lines adding up to exactly 1024", test::McuText(8, 128), {{0, 896}, {896, 128}}},
      {"1023-byte line after a short one", Lines({10, 1023, 5}), {{0, 10}, {10, 1023}, {1033, 5}}},
  };
  for (const auto& c : cases) {
    Chunks chunks;
    EXPECT_TRUE(Split(c.text, &chunks)) << c.name;
    EXPECT_EQ(chunks, c.expected) << c.name;
  }
  for (const auto& text : {Lines({1024}), Lines({100, 1023, 1024})}) {
    Chunks chunks = {{9, 9}};
    EXPECT_FALSE(Split(text, &chunks));
    EXPECT_TRUE(chunks.empty());
    EXPECT_FALSE(SplitMcuChunks(text.data(), static_cast<std::uint32_t>(text.size()), nullptr));
  }
}

}  // namespace
}  // namespace veltra
