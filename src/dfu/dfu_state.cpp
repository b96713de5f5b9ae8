#include <cstring>

#include "dfu/dfu_requests.h"
#include "dfu/download_engines.h"

namespace veltra {

DfuStatus dfu_status;
std::atomic<Handle> deviceHandle{kNullHandle};
std::atomic<Handle> lastOpenedHandle{kNullHandle};
std::atomic<Handle> winUSBHandle{kNullHandle};
std::uint8_t g_stagingBlock[kBlockSize] = {};

std::atomic<std::uint32_t> g_blockCount{0};
Flag g_bDownloadInProgress{0};
Flag g_bDownloadComplete{0};
Flag g_bFirstPartWritten{0};
Flag g_bWriteFirstPart{0};
Flag g_bDFUOpened{0};
std::atomic<std::int32_t> g_updateResult{0};
wchar_t g_statusText[kStatusTextChars] = {};

void ResetDfuContext() {
  dfu_status = DfuStatus{};
  deviceHandle = kNullHandle;
  lastOpenedHandle = kNullHandle;
  winUSBHandle = kNullHandle;
  std::memset(g_stagingBlock, 0, sizeof g_stagingBlock);
}

void ClearDownloadFlags() {
  g_blockCount = 0;
  g_bDownloadInProgress = 0;
  g_bDownloadComplete = 0;
  g_bFirstPartWritten = 0;
  g_bWriteFirstPart = 0;
  g_bDFUOpened = 0;
}

void ResetDownloadState() {
  ClearDownloadFlags();
  g_updateResult = 0;
  g_statusText[0] = L'\0';
}

}  // namespace veltra
