#include "core/boot_loader_step.h"
#include "core/update_session.h"
#include "loaders/fx3_download.h"

namespace veltra {

void BeginLoaderDownload(BootLoaderStep& step, const wchar_t* romPath, bool ofUpdate) {
  step.romPath = romPath;
  step.romLeftDuringLoad = 0;
  step.romOfUpdate = ofUpdate ? 1 : 0;
  step.bLoaderDownloadBusy = 1;
}

void EndLoaderDownload(BootLoaderStep& step, UpdateSession& update, bool loaded) {
  const bool ofUpdate = step.romOfUpdate.load() != 0;
  if (loaded && ofUpdate) {
    WaitForLoadedProgram(update);
  }
  {
    std::lock_guard<std::mutex> lock(step.endedMutex);
    step.ended.push_back(
        EndedLoad{step.romPath, ofUpdate, loaded, step.romLeftDuringLoad.load() != 0});
  }
  step.bLoaderDownloadBusy = 0;
  update.Observer().OnLoaderEnded(loaded);
}

void WaitForLoadedProgram(UpdateSession& update) {
  if (update.bUpdatedFromHIDMode.load() == 0) {
    return;
  }
  update.Advance(UpdatePhase::kAwaitingLoadedProgram);  // timer 2 bounds the wait
}

void EndUpdateWithoutLoader(UpdateSession& update, const wchar_t* text) {
  if (update.bUpdatedFromHIDMode.exchange(0) == 0) {
    return;
  }
  update.EndFailed();
  update.Observer().OnDone(UpdateOutcome::kLoaderFailed, text);
}

}  // namespace veltra
