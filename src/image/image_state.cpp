#include <cstdlib>
#include <cstring>

#include "image/firmware_image.h"
#include "image/image_internal.h"
#include "image/loader_files.h"

namespace veltra {

Payload imagePart1;
Payload imagePart2;
std::atomic<std::uint32_t> g_mcuChunkCount{0};
Flag g_bFPGAImage{0};
Flag g_bMCUImage{0};
Flag g_bCombinedImage{0};
std::atomic<std::uint8_t> g_imageType{0};
Flag g_bNXPMode{0};
Payload g_loaderImage;

namespace {
std::atomic<PayloadAllocator> g_payloadAllocator{nullptr};
}  // namespace

void ReleasePayload(Payload& payload) {
  std::free(payload.data);
  payload.data = nullptr;
  payload.length = 0;
}

void SetPayloadAllocator(PayloadAllocator allocator) {
  g_payloadAllocator = allocator;
}

bool AllocatePayload(Payload& payload, const std::uint8_t* source, std::uint32_t length) {
  payload.data = nullptr;
  payload.length = 0;
  // One byte for an empty payload: malloc(0) may answer nullptr, which would read as a failure.
  const std::size_t bytes = length == 0 ? 1 : length;
  const PayloadAllocator allocator = g_payloadAllocator.load();
  void* memory = allocator != nullptr ? allocator(bytes) : std::malloc(bytes);
  if (memory == nullptr) {
    return false;
  }
  std::memset(memory, 0, bytes);
  if (source != nullptr && length != 0) {
    std::memcpy(memory, source, length);
  }
  payload.data = static_cast<std::uint8_t*>(memory);
  payload.length = length;
  return true;
}

void DiscardImageSelection() {
  ReleasePayload(imagePart1);
  ReleasePayload(imagePart2);
  g_mcuChunkCount = 0;
  g_bFPGAImage = 0;
  g_bMCUImage = 0;
  g_bCombinedImage = 0;
  g_imageType = 0;
}

void ResetImageState() {
  DiscardImageSelection();
  ReleasePayload(g_loaderImage);
  g_bNXPMode = 0;
  g_payloadAllocator = nullptr;
}

}  // namespace veltra
