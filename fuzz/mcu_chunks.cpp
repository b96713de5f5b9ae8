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

std::string CheckMcuChunks(const std::uint8_t* data, std::size_t size) {
  if (size > 0xFFFFFFFFu) {
    return "";
  }
  std::unique_ptr<std::uint8_t[]> text(new std::uint8_t[size == 0 ? 1 : size]);
  std::copy(data, data + size, text.get());
  const auto length = static_cast<std::uint32_t>(size);

  std::vector<McuChunk> chunks = {McuChunk{1, 1}};  // must be cleared by the call
  const bool ok = SplitMcuChunks(text.get(), length, &chunks);
  if (SplitMcuChunks(text.get(), length, nullptr) != ok) {
    return "counting alone answers otherwise";
  }
  return BrokenMcuChunkRule(text.get(), size, ok, chunks);
}

}  // namespace veltra::fuzz

VELTRA_FUZZ_TARGET(veltra::fuzz::CheckMcuChunks)
