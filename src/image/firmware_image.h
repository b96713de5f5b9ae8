// Firmware image state: the two payloads cut from the chosen file and the image-kind flags by
// which the update worker chooses its engine.
#pragma once

#include <vector>

#include "platform/types.h"

namespace veltra {

// A payload buffer allocated at its exact length. The engine that sends it frees it.
struct Payload {
  std::uint8_t* data = nullptr;
  std::uint32_t length = 0;
};
void ReleasePayload(Payload& payload);

extern Payload imagePart1;
extern Payload imagePart2;
extern std::atomic<std::uint32_t> g_mcuChunkCount;
extern Flag g_bFPGAImage;
extern Flag g_bMCUImage;
extern Flag g_bCombinedImage;
extern std::atomic<std::uint8_t> g_imageType;
// The NXP route is armed: set when the flash loader has been read or by the update command.
extern Flag g_bNXPMode;

// Lets the user pick a firmware file and cuts it into the payloads.
// 1: read and split; 0: failure; 2: the user cancelled (nothing changes).
int Browse();

// Splits an in-memory file exactly as Browse does after reading it (1 / 0). Browse calls it; the
// tests and fuzzers drive it directly.
int SplitFirmwareFile(const std::uint8_t* file, std::uint32_t length);

// MCU text is sent in chunks of whole lines, each shorter than 1024 bytes. Both the count made at
// selection and the MCU engine use this one rule.
struct McuChunk {
  std::uint32_t offset = 0;
  std::uint32_t length = 0;
};
// false when a single line of 1024 bytes or more cannot be placed in a chunk.
bool SplitMcuChunks(const std::uint8_t* text, std::uint32_t length, std::vector<McuChunk>* chunks);

// Clears the image state (tests; a fresh process).
void ResetImageState();

}  // namespace veltra
