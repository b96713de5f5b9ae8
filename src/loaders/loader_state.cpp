#include "core/boot_loader_step.h"
#include "core/update_session.h"
#include "loaders/fx3_download.h"

namespace veltra {

namespace {
void ReleaseLoader(BootLoaderStep& step) {
  step.loaderFailed = 0;
  step.loaderDeviceLeft = 0;
  step.bLoaderDownloadBusy = 0;
}
}  // namespace

void BeginLoaderDownload(BootLoaderStep& step) {
  step.loaderFailed = 0;
  step.loaderDeviceLeft = 0;
  step.bLoaderDownloadBusy = 1;
}

void EndLoaderDownload(BootLoaderStep& step, UpdateSession& update) {
  ReleaseLoader(step);
  WaitForLoadedProgram(update);
}

void WaitForLoadedProgram(UpdateSession& update) {
  if (update.bUpdatedFromHIDMode.load() == 0) {
    return;
  }
  update.Advance(UpdatePhase::kAwaitingLoadedProgram);  // timer 2 bounds the wait
}

void HoldLoaderAfterFailure(BootLoaderStep& step) {
  step.loaderFailed = 1;
  if (step.loaderDeviceLeft.load() != 0) {
    ReleaseLoader(step);
  }
}

void LoaderDeviceLeft(BootLoaderStep& step) {
  if (step.bLoaderDownloadBusy.load() == 0) {
    return;
  }
  step.loaderDeviceLeft = 1;
  if (step.loaderFailed.load() != 0) {
    ReleaseLoader(step);
  }
}

void EndUpdateWithoutLoader(UpdateSession& update) {
  if (update.bUpdatedFromHIDMode.exchange(0) == 0) {
    return;
  }
  update.EndFailed();
  update.Observer().OnDone(UpdateOutcome::kLoaderFailed, nullptr);
}

}  // namespace veltra
