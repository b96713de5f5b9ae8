// The presenter: the dialog's side of the session's observer. What the worker, the engines and the
// loaders report of an update, and what the device-change handling and the camera commands report
// of the devices, becomes the dialog's application messages, timers, controls and message boxes
// here, and only here. The reports come on the reporting thread; messages to the dialog are
// synchronous.
#pragma once

#include "core/update_session.h"

namespace veltra {

class DialogObserver final : public UpdateObserver {
 public:
  // update: the session whose blink state a failed download sets.
  explicit DialogObserver(UpdateSession& update);
  void OnEraseStart(std::uint32_t steps) override;
  void OnProgress(std::uint32_t done) override;
  std::intptr_t OnPercent(std::uint32_t percent) override;
  void OnPhase(UpdatePhase phase) override;
  void OnDone(UpdateOutcome outcome, const wchar_t* text) override;
  void OnLoaderEnded(bool loaded) override;
  void OnLibraryDownloadEnded() override;

  // The devices (device_view.cpp).
  void OnUiState(UiState state) override;
  void OnListCleared() override;
  void OnListEntry(const wchar_t* entry) override;
  void OnEntrySelected(int index) override;
  void OnVersionReadAllowed(bool allowed) override;
  void OnFileCameraListed(bool versionRead) override;
  void OnFileCameraGone() override;
  void OnReturnWaitOver() override;
  void OnUpdatedCameraLeft() override;
  void OnUpdateResumes() override;
  void OnTakeOverRunning() override;
  void OnTakeOverProblem(std::uintptr_t notice, std::uint32_t length) override;
  void OnDevicesChanged() override;
  void OnNotice(Notice notice, const wchar_t* text) override;
  void OnFailure(FailedStep step, std::uint32_t lastError) override;

 private:
  UpdateSession& update_;
};

// Makes the main dialog the observer of the program's session (called with the same session
// every time).
void ConnectToDialog(UpdateSession& update);

}  // namespace veltra
