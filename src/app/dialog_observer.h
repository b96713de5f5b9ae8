// The dialog's side of an update: what the worker, the engines and the loaders report through
// the session's observer becomes the dialog's application messages, timers, controls and message
// boxes here. The reports come on the reporting thread; messages to the dialog are synchronous.
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

 private:
  UpdateSession& update_;
};

// Makes the main dialog the observer of the program's session (called with the same session
// every time).
void ConnectToDialog(UpdateSession& update);

}  // namespace veltra
