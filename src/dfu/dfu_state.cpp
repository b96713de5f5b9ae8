#include <cstring>

#include "core/update_session.h"
#include "dfu/dfu_requests.h"
#include "dfu/download_engines.h"

namespace veltra {

void ResetDfuContext() {
  UpdateSession& update = CurrentUpdate();
  update.dfu_status = DfuStatus{};
  update.deviceHandle = kNullHandle;
  update.lastOpenedHandle = kNullHandle;
  update.winUSBHandle = kNullHandle;
  std::memset(update.stagingBlock, 0, sizeof update.stagingBlock);
}

void ResetDownloadState() {
  UpdateSession& update = CurrentUpdate();
  update.ClearDownload();
  update.bCameraStartsAfresh = 0;
  update.statusText[0] = L'\0';
}

}  // namespace veltra
