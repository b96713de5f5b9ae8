#include "core/update_session.h"

#include <cstdlib>
#include <cstring>

#include "platform/ports.h"

namespace veltra {

namespace {
// The one session (see CurrentUpdate).
UpdateSession g_update;
}  // namespace

UpdateSession& CurrentUpdate() {
  return g_update;
}

void UpdateSession::KeepFirmwareThread(Handle thread) {
  const Handle previous = hFirmwareThread.exchange(thread);
  if (previous != kNullHandle && previous != thread) {
    Sys().CloseThread(previous);
  }
}

void UpdateSession::ClearDownload() {
  blockCount = 0;
  bDownloadInProgress = 0;
  bDownloadComplete = 0;
  bFirstPartWritten = 0;
  bWriteFirstPart = 0;
  bDFUOpened = 0;
}

void UpdateSession::EndFailed() {
  ClearDownload();
  bUpdatedFromHIDMode = 0;
  bIsStartUpdatedFromDFU = 0;
  bMatchByUniqueID = 0;
  bAwaitingModeSwitch = 0;
}

void UpdateSession::Reset() {
  ClearDownload();
  std::memset(szUpdateDevicePath, 0, sizeof szUpdateDevicePath);
  std::memset(savedDevicePaths, 0, sizeof savedDevicePaths);
  nSavedDeviceCount = 0;
  std::memset(USBUniqueID, 0, sizeof USBUniqueID);
  bMatchByUniqueID = 0;
  bUpdateDeviceGone = 1;
  bAllDevicesGone = 0;
  bUpdatedFromHIDMode = 0;
  bIsStartUpdatedFromDFU = 0;
  bAwaitingModeSwitch = 1;
  bPescaDevice = 0;
  updateResult = 0;
  statusText[0] = L'\0';
  hFirmwareThread = kNullHandle;
  hConfirmDlg = kNullHandle;
  hWarnDlg = kNullHandle;
  bWorkerRunning = 0;
  bCameraLeft = 0;
  progressTotal = 0;
  blinkState = 0;
  std::memset(szFirmwareTitle, 0, sizeof szFirmwareTitle);
  std::memset(szFirmwarePath, 0, sizeof szFirmwarePath);
  bCombinedImage = 0;
  bNXPMode = 0;
  deviceHandle = kNullHandle;
  lastOpenedHandle = kNullHandle;
  winUSBHandle = kNullHandle;
  dfu_status = DfuStatus{};
  std::memset(stagingBlock, 0, sizeof stagingBlock);
  std::free(loaderImage.data);
  loaderImage = Payload{};
  bLoaderThreadStarted = 0;
  bLoaderDownloadBusy = 0;
  loaderFailed = 0;
  loaderDeviceLeft = 0;
  bSunplusDownloadBusy = 0;
  sunplus.reset();
}

}  // namespace veltra
