#include <cstdlib>
#include <cstring>
#include <memory>

#include "image/firmware_image.h"
#include "image/image_internal.h"
#include "image/loader_files.h"

namespace veltra {

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

void SelectImage(UpdateSession& update, std::shared_ptr<const ParsedImage> image) {
  const bool combined = image != nullptr && image->kind == ImageKind::kCombined;
  // The earlier image is released when the last holder lets it go (an update that still sends
  // it keeps its own reference).
  std::atomic_store(&update.selectedImage, std::move(image));
  update.bCombinedImage = combined ? 1 : 0;
}

std::shared_ptr<const ParsedImage> SelectedImage(const UpdateSession& update) {
  return std::atomic_load(&update.selectedImage);
}

std::uint8_t SelectedImageType(const UpdateSession& update) {
  const std::shared_ptr<const ParsedImage> image = SelectedImage(update);
  return image != nullptr ? image->imageType : 0;
}

}  // namespace veltra
