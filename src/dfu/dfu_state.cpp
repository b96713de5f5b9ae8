#include <cstring>

#include "core/update_session.h"
#include "dfu/dfu_requests.h"
#include "dfu/download_engines.h"

namespace veltra {

DfuStatus dfu_status;
std::atomic<Handle> deviceHandle{kNullHandle};
std::atomic<Handle> lastOpenedHandle{kNullHandle};
std::atomic<Handle> winUSBHandle{kNullHandle};
std::uint8_t g_stagingBlock[kBlockSize] = {};

void ResetDfuContext() {
  dfu_status = DfuStatus{};
  deviceHandle = kNullHandle;
  lastOpenedHandle = kNullHandle;
  winUSBHandle = kNullHandle;
  std::memset(g_stagingBlock, 0, sizeof g_stagingBlock);
}

void ResetDownloadState() {
  UpdateSession& update = CurrentUpdate();
  update.ClearDownload();
  update.bCameraStartsAfresh = 0;
  update.statusText[0] = L'\0';
}

}  // namespace veltra
