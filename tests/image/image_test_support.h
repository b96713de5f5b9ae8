// Helpers shared by the image tests: a chosen allocation made to fail, and a look at the whole
// image state at once.
#pragma once

#include <cstdlib>
#include <string>

#include "image/firmware_image.h"
#include "image/image_internal.h"
#include "support/firmware_files.h"

namespace veltra::test {

// Makes the failAt-th allocation of the image subsystem (counted from 1) answer nullptr.
inline int g_allocCalls = 0;
inline int g_allocFailAt = 0;
inline void* FailingAllocator(std::size_t bytes) {
  return ++g_allocCalls == g_allocFailAt ? nullptr : std::malloc(bytes);
}
inline void FailAllocation(int failAt) {
  g_allocCalls = 0;
  g_allocFailAt = failAt;
  SetPayloadAllocator(&FailingAllocator);
}

inline Bytes PayloadContents(const Payload& payload) {
  return payload.data == nullptr ? Bytes() : Bytes(payload.data, payload.data + payload.length);
}

inline Bytes ViewContents(const ByteView& view) {
  return view.data == nullptr ? Bytes() : Bytes(view.data, view.data + view.length);
}

inline Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t length) {
  return Bytes(bytes.begin() + offset, bytes.begin() + offset + length);
}

// Nothing that a later update could take for an image.
inline bool ImageStateEmpty() {
  return SelectedImage() == nullptr && g_bCombinedImage == 0;
}

}  // namespace veltra::test
