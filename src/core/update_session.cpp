#include "core/update_session.h"

#include <memory>

#include "platform/ports.h"

namespace veltra {

namespace {
bool IsDownloadPhase(UpdatePhase phase) {
  return phase == UpdatePhase::kErasing || phase == UpdatePhase::kWriting ||
         phase == UpdatePhase::kVerifying || phase == UpdatePhase::kSent;
}
}  // namespace

void UpdateSession::KeepFirmwareThread(Handle thread) {
  const Handle previous = hFirmwareThread.exchange(thread);
  if (previous != kNullHandle && previous != thread) {
    Sys().CloseThread(previous);
  }
}

bool UpdateSession::DownloadInProgress() const {
  // The vendor library's download has no phases of its own: it sends while its thread runs.
  return IsDownloadPhase(Phase()) || bSunplusDownloadBusy.load() != 0;
}

bool UpdateSession::AwaitingModeSwitch() const {
  const UpdatePhase current = Phase();
  return current == UpdatePhase::kAwaitingModeSwitch ||
         current == UpdatePhase::kAwaitingLoadedProgram;
}

bool UpdateSession::MoveFrom(UpdatePhase from, UpdatePhase to) {
  if (!phase_.compare_exchange_strong(from, to)) {
    return false;
  }
  Observer().OnPhase(to);
  return true;
}

void UpdateSession::CameraBack() {
  if (!MoveFrom(UpdatePhase::kAwaitingModeSwitch, UpdatePhase::kCameraBack)) {
    MoveFrom(UpdatePhase::kAwaitingLoadedProgram, UpdatePhase::kCameraBack);
  }
}

void UpdateSession::Advance(UpdatePhase next) {
  phase_ = next;
  Observer().OnPhase(next);
}

bool UpdateSession::FinishRestartWait(UpdatePhase to) {
  return MoveFrom(UpdatePhase::kAwaitingRestart, to);
}

PassRoute UpdateSession::Pass() const {
  return PassRoute{pass.load(), bDFUOpened.load() != 0, bCameraStartsAfresh.load() != 0};
}

void UpdateSession::SetWriteFirstPart(bool on) {
  PassStep expected = on ? PassStep::kNone : PassStep::kFirstPartNext;
  pass.compare_exchange_strong(expected, on ? PassStep::kFirstPartNext : PassStep::kNone);
}

void UpdateSession::BeginInUpdateMode(bool firstPartFirst) {
  bIsStartUpdatedFromDFU = 1;
  bCameraStartsAfresh = 0;
  bDFUOpened = firstPartFirst ? 0 : 1;
  // A fresh start never inherits the pass of an earlier update.
  SetWriteFirstPart(firstPartFirst);
}

void UpdateSession::SetObserver(UpdateObserver* observer) {
  observer_ = observer;
}

void UpdateSession::KeepObserver(std::unique_ptr<UpdateObserver> observer) {
  if (kept_ == nullptr) {
    kept_ = std::move(observer);
  }
  SetObserver(kept_.get());
}

UpdateObserver& UpdateSession::Observer() const {
  UpdateObserver* observer = observer_.load();
  return observer != nullptr ? *observer : nobody_;
}

void UpdateSession::ClearDownload() {
  static_cast<DownloadValues&>(*this) = DownloadValues{};
  const UpdatePhase current = Phase();
  if (IsDownloadPhase(current)) {
    MoveFrom(current, UpdatePhase::kIdle);
  }
}

void UpdateSession::BeginUpdate() {
  ClearDownload();
  static_cast<UpdateValues&>(*this) = UpdateValues{};
  // The earlier update's ending is over; a phase a thread still moves stays its own.
  const UpdatePhase current = Phase();
  if (current == UpdatePhase::kEndedFailed || current == UpdatePhase::kEndedOk) {
    MoveFrom(current, UpdatePhase::kIdle);
  }
}

void UpdateSession::EndFailed() {
  ClearDownload();
  static_cast<RouteValues&>(*this) = RouteValues{};
  Advance(UpdatePhase::kEndedFailed);
}

void UpdateSession::Reset() {
  static_cast<SessionValues&>(*this) = SessionValues{};
  static_cast<UpdateValues&>(*this) = UpdateValues{};
  phase_ = UpdatePhase::kIdle;
  std::atomic_store(&selectedImage, std::shared_ptr<const ParsedImage>{});
  link.Forget();
}

}  // namespace veltra
