#include <cstdlib>
#include <cstring>
#include <memory>

#include "image/firmware_image.h"
#include "image/image_internal.h"
#include "image/loader_files.h"

namespace veltra {

namespace {
// Process-wide: the chosen image outlives one update (a failed update is retried with it) and is
// replaced only by the next Browse. Written on the dialog thread, read by the update worker, so
// the pointer is only ever loaded and stored atomically; the image never changes once parsed.
std::shared_ptr<const ParsedImage> g_selectedImage;
}  // namespace

void ReleasePayload(Payload& payload) {
  std::free(payload.data);
  payload.data = nullptr;
  payload.length = 0;
}

bool AllocatePayload(Payload& payload, const std::uint8_t* source, std::uint32_t length) {
  payload.data = nullptr;
  payload.length = 0;
  // One byte for an empty payload: malloc(0) may answer nullptr, which would read as a failure.
  const std::size_t bytes = length == 0 ? 1 : length;
  void* memory = std::malloc(bytes);
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
  // The earlier image is released when the last holder lets it go (an update that still sends
  // it keeps its own reference).
  std::atomic_store(&g_selectedImage, std::move(image));
  CurrentUpdate().bCombinedImage = combined ? 1 : 0;
}

std::shared_ptr<const ParsedImage> SelectedImage() {
  return std::atomic_load(&g_selectedImage);
}

std::uint8_t SelectedImageType() {
  const std::shared_ptr<const ParsedImage> image = SelectedImage();
  return image != nullptr ? image->imageType : 0;
}

void ResetImageState() {
  SelectImage(nullptr);
  ReleasePayload(CurrentUpdate().loaderImage);
  CurrentUpdate().bNXPMode = 0;
}

}  // namespace veltra
