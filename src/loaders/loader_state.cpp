#include "core/app_state.h"
#include "core/resource_ids.h"
#include "core/ui_texts.h"
#include "core/update_session.h"
#include "loaders/fx3_download.h"
#include "platform/ports.h"

namespace veltra {

Flag g_bLoaderDownloadBusy{0};

namespace {
// Set by a failed FX3 download and by a removal while the busy flag is set; whichever of the two
// comes second releases the flag, so that a ROM leaving during the download is not missed.
Flag g_loaderFailed{0};
Flag g_loaderDeviceLeft{0};
// As long as the mode switch is given: the loaded program's arrival is the camera's next step.
constexpr std::uint32_t kLoadedProgramWaitMs = 60000;

void ReleaseLoader() {
  g_loaderFailed = 0;
  g_loaderDeviceLeft = 0;
  g_bLoaderDownloadBusy = 0;
}
}  // namespace

void BeginLoaderDownload() {
  g_loaderFailed = 0;
  g_loaderDeviceLeft = 0;
  g_bLoaderDownloadBusy = 1;
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
  g_loaderFailed = 1;
  if (g_loaderDeviceLeft.load() != 0) {
    ReleaseLoader();
  }
}

void LoaderDeviceLeft() {
  if (g_bLoaderDownloadBusy.load() == 0) {
    return;
  }
  g_loaderDeviceLeft = 1;
  if (g_loaderFailed.load() != 0) {
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
