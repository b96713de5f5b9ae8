// Fuzz target: the MCU text chunking (SplitMcuChunks), whose count the selection shows as the
// progress total and whose chunks the MCU engine sends.
//
// The input is the MCU text. Properties: a text is refused exactly when one of its complete lines
// is 1024 bytes or longer; otherwise the chunks cover the text from its start up to its last line
// feed without gap or overlap, every chunk is whole lines and shorter than 1024 bytes, and no chunk
// was closed while the next line would still have fitted. Counting alone (no chunk list) gives the
// same answer.
#include <memory>

#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_targets.h"

namespace veltra::fuzz {

namespace mcu_chunks {

constexpr std::uint8_t kLineFeed = 0x0A;
constexpr std::size_t kLimit = 1024;

// Length of the line starting at `at` (line feed included); 0 when no line feed follows.
std::size_t LineAt(const std::uint8_t* text, std::size_t size, std::size_t at) {
  for (std::size_t i = at; i < size; ++i) {
    if (text[i] == kLineFeed) {
      return i + 1 - at;
    }
  }
  return 0;
}

}  // namespace mcu_chunks

std::string CheckMcuChunks(const std::uint8_t* data, std::size_t size) {
  using namespace mcu_chunks;
  if (size > 0xFFFFFFFFu) {
    return "";
  }
  Findings f;
  std::unique_ptr<std::uint8_t[]> text(new std::uint8_t[size == 0 ? 1 : size]);
  std::copy(data, data + size, text.get());
  const auto length = static_cast<std::uint32_t>(size);

  std::vector<McuChunk> chunks = {McuChunk{1, 1}};  // must be cleared by the call
  const bool ok = SplitMcuChunks(text.get(), length, &chunks);
  f.Expect(SplitMcuChunks(text.get(), length, nullptr) == ok, "counting alone answers otherwise");

  // Where the sendable text ends (after its last line feed) and whether a line is too long.
  std::size_t end = 0;
  bool lineTooLong = false;
  for (std::size_t at = 0, line = 0; (line = LineAt(text.get(), size, at)) != 0; at += line) {
    lineTooLong = lineTooLong || line >= kLimit;
    end = at + line;
  }
  f.Expect(ok == !lineTooLong, ok ? "a line of 1024 bytes or more was accepted"
                                  : "a text whose lines all fit was refused");
  if (!ok) {
    f.Expect(chunks.empty(), "a refused text left chunks");
    return f.Result();
  }

  std::size_t next = 0;
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    const McuChunk& c = chunks[i];
    const std::string at = "chunk " + std::to_string(i) + ": ";
    if (!f.Expect(c.offset == next, at + "gap or overlap") ||
        !f.Expect(c.length > 0 && c.length < kLimit, at + "length " + std::to_string(c.length)) ||
        !f.Expect(static_cast<std::size_t>(c.offset) + c.length <= end, at + "past the text")) {
      return f.Result();
    }
    f.Expect(text[c.offset + c.length - 1] == kLineFeed, at + "does not end a line");
    next = c.offset + c.length;
    if (next < end) {
      f.Expect(c.length + LineAt(text.get(), size, next) >= kLimit,
               at + "closed while the next line still fitted");
    }
  }
  f.Expect(next == end, "the chunks do not reach the last line feed");
  return f.Result();
}

}  // namespace veltra::fuzz

VELTRA_FUZZ_TARGET(veltra::fuzz::CheckMcuChunks)
