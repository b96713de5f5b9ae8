// Helpers shared by the image tests: the contents of payloads and views, and a look at the whole
// image state at once.
#pragma once

#include <string>

#include "image/firmware_image.h"
#include "image/image_internal.h"
#include "support/firmware_files.h"

namespace veltra::test {

inline Bytes ViewContents(const ByteView& view) {
  return view.data == nullptr ? Bytes() : Bytes(view.data, view.data + view.length);
}

inline Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t length) {
  return Bytes(bytes.begin() + offset, bytes.begin() + offset + length);
}

// Nothing that a later update could take for an image.
inline bool ImageStateEmpty(const UpdateSession& update) {
  return SelectedImage(update) == nullptr && update.bCombinedImage == 0;
}

}  // namespace veltra::test
