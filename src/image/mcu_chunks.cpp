// The MCU text is written to the camera in chunks of whole lines, each shorter than one 1024-byte
// transfer block. The selection counts the chunks with this rule and the MCU engine sends exactly
// the same chunks, so the progress total and the blocks sent always agree.
#include <cstring>

#include "image/firmware_image.h"

namespace veltra {

namespace {
constexpr std::uint32_t kMcuChunkLimit = 1024;  // a chunk must stay below one transfer block
constexpr std::uint8_t kLineFeed = 0x0A;
}  // namespace

bool SplitMcuChunks(const std::uint8_t* text, std::uint32_t length, std::vector<McuChunk>* chunks) {
  if (chunks != nullptr) {
    chunks->clear();
  }
  if (text == nullptr) {
    return length == 0;
  }

  // Only the text up to and including its last line feed is ever sent: a trailing partial line is
  // not a line the MCU could take. Ending the scan there also makes sure the complete lines
  // before such a partial line are emitted with the last chunk instead of being dropped with it.
  std::uint32_t end = length;
  while (end > 0 && text[end - 1] != kLineFeed) {
    --end;
  }

  std::uint32_t chunkStart = 0;
  std::uint32_t lineStart = 0;
  // Line by line: memchr finds each line feed, so a large text is not walked byte by byte.
  while (lineStart < end) {
    const void* feed = std::memchr(text + lineStart, kLineFeed, end - lineStart);
    // end stands right after a line feed, so one is always found before it.
    const auto i = static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(feed) - text);
    const std::uint32_t lineLength = i + 1 - lineStart;
    // A line that alone reaches the limit fits in no chunk; cutting before it would give an empty
    // chunk and start over at the same line for ever.
    if (lineLength >= kMcuChunkLimit) {
      if (chunks != nullptr) {
        chunks->clear();
      }
      return false;
    }
    std::uint32_t chunkLength = i + 1 - chunkStart;
    if (chunkLength >= kMcuChunkLimit) {
      // The chunk ends before the current line, which starts the next chunk.
      if (chunks != nullptr) {
        chunks->push_back(McuChunk{chunkStart, chunkLength - lineLength});
      }
      chunkStart = lineStart;
      chunkLength = lineLength;
    }
    if (i + 1 == end && chunks != nullptr) {
      chunks->push_back(McuChunk{chunkStart, chunkLength});
    }
    lineStart = i + 1;
  }
  return true;
}

}  // namespace veltra
