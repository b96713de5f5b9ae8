// The browse command: the user picks a firmware file, which is read whole and cut into the
// payloads. The file never stays open and its buffer never outlives the selection.
#include <cstdio>

#include "core/app_state.h"
#include "core/resource_ids.h"
#include "image/firmware_image.h"
#include "image/image_internal.h"
#include "platform/ports.h"

namespace veltra {

namespace {
// OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR
constexpr std::uint32_t kOpenFileFlags = 0x1808;
constexpr int kBrowseFailed = 0;
constexpr int kBrowseDone = 1;
constexpr int kBrowseCancelled = 2;
constexpr const wchar_t* kTextCheckPath = L"Check File Path!";
constexpr const wchar_t* kCaptionError = L"Error";
}  // namespace

int Browse() {
  g_bCombinedImage = 0;

  OpenFileRequest request;
  // Raw *.bin images are what the NXP route takes, so its filter comes first once it is armed.
  request.binFirst = g_bNXPMode != 0;
  request.flags = kOpenFileFlags;
  wchar_t path[kPathChars] = {};
  if (!Dialog().OpenFileDialog(request, path, kPathChars, g_szFirmwareTitle, kPathChars)) {
    return kBrowseCancelled;
  }
  Dialog().SetItemText(IDC_EDIT_FIRMWARE_PATH, path);

  // From here on the path box names the new file, so a failure must not leave the payloads of an
  // earlier file in place: an update would send them as if they were this file's.
  std::FILE* file = Sys().OpenFile(path, "rb");
  if (file == nullptr) {
    DiscardImageSelection();
    Dialog().MessageBox(kTextCheckPath, kCaptionError, kMbIconExclamation);
    return kBrowseFailed;
  }

  Payload contents;
  int result = kBrowseFailed;
  if (ReadWholeFile(file, contents)) {
    result = SplitFirmwareFile(contents.data, contents.length) == 1 ? kBrowseDone : kBrowseFailed;
  } else {
    DiscardImageSelection();
  }
  std::fclose(file);
  ReleasePayload(contents);
  return result;
}

}  // namespace veltra
