#include <cstdlib>

#include "image/firmware_image.h"
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

void ReleasePayload(Payload& payload) {
  std::free(payload.data);
  payload.data = nullptr;
  payload.length = 0;
}

void ResetImageState() {
  ReleasePayload(imagePart1);
  ReleasePayload(imagePart2);
  ReleasePayload(g_loaderImage);
  g_mcuChunkCount = 0;
  g_bFPGAImage = 0;
  g_bMCUImage = 0;
  g_bCombinedImage = 0;
  g_imageType = 0;
  g_bNXPMode = 0;
}

}  // namespace veltra
