#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include "image/firmware_image.h"
#include "image/image_internal.h"
#include "image/loader_files.h"

namespace veltra {

// Process-wide flags shared with the update flow (see their declarations for why).
Flag g_bCombinedImage{0};
Flag g_bNXPMode{0};
// The loader buffer: one loader file is held between the device list's read and its download.
Payload g_loaderImage;

namespace {
// The chosen image: written by Browse on the dialog thread, read by the update worker. The mutex
// guards the pointer only; the image itself never changes once parsed.
std::mutex g_selectionMutex;
std::shared_ptr<const ParsedImage> g_selectedImage;
// The allocation seam of the tests (see SetPayloadAllocator).
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

void SelectImage(std::shared_ptr<const ParsedImage> image) {
  const bool combined = image != nullptr && image->kind == ImageKind::kCombined;
  std::shared_ptr<const ParsedImage> previous;
  {
    const std::lock_guard<std::mutex> lock(g_selectionMutex);
    previous = std::exchange(g_selectedImage, std::move(image));
  }
  g_bCombinedImage = combined ? 1 : 0;
  // previous is released here, outside the lock.
}

std::shared_ptr<const ParsedImage> SelectedImage() {
  const std::lock_guard<std::mutex> lock(g_selectionMutex);
  return g_selectedImage;
}

std::uint8_t SelectedImageType() {
  const std::shared_ptr<const ParsedImage> image = SelectedImage();
  return image != nullptr ? image->imageType : 0;
}

void ResetImageState() {
  SelectImage(nullptr);
  ReleasePayload(g_loaderImage);
  g_bNXPMode = 0;
  g_payloadAllocator = nullptr;
}

}  // namespace veltra
