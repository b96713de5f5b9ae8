#include "core/app_state.h"
#include "core/resource_ids.h"
#include "core/ui_texts.h"
#include "core/update_session.h"
#include "loaders/fx3_download.h"
#include "platform/ports.h"

namespace veltra {

namespace {
// As long as the mode switch is given: the loaded program's arrival is the camera's next step.
constexpr std::uint32_t kLoadedProgramWaitMs = 60000;

void ReleaseLoader() {
  CurrentUpdate().loaderFailed = 0;
  CurrentUpdate().loaderDeviceLeft = 0;
  CurrentUpdate().bLoaderDownloadBusy = 0;
}
}  // namespace

void BeginLoaderDownload() {
  CurrentUpdate().loaderFailed = 0;
  CurrentUpdate().loaderDeviceLeft = 0;
  CurrentUpdate().bLoaderDownloadBusy = 1;
}

void EndLoaderDownload() {
  ReleaseLoader();
  WaitForLoadedProgram();
}

void WaitForLoadedProgram() {
  if (CurrentUpdate().bUpdatedFromHIDMode.load() == 0) {
    return;
  }
  CurrentUpdate().phase = UpdatePhase::kAwaitingModeSwitch;
  Dialog().SetTimer(IDT_TIMER_FOR_HD_ISSUE, kLoadedProgramWaitMs);
}

void HoldLoaderAfterFailure() {
  CurrentUpdate().loaderFailed = 1;
  if (CurrentUpdate().loaderDeviceLeft.load() != 0) {
    ReleaseLoader();
  }
}

void LoaderDeviceLeft() {
  if (CurrentUpdate().bLoaderDownloadBusy.load() == 0) {
    return;
  }
  CurrentUpdate().loaderDeviceLeft = 1;
  if (CurrentUpdate().loaderFailed.load() != 0) {
    ReleaseLoader();
  }
}

void EndUpdateWithoutLoader() {
  if (CurrentUpdate().bUpdatedFromHIDMode.exchange(0) == 0) {
    return;
  }
  CurrentUpdate().EndFailed();
  Dialog().KillTimer(IDT_BLINK_ERASE);
  Dialog().SendToDialog(WM_APP_UPDATE_DONE, 0, 0);
  Dialog().MessageBox(kTextDownloadFailed, kCaptionError, kMbIconError);
}

}  // namespace veltra
