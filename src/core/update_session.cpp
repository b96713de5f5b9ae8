#include "core/update_session.h"

#include <cstring>
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
  return IsDownloadPhase(phase.load()) || bSunplusDownloadBusy.load() != 0;
}

bool UpdateSession::AwaitingModeSwitch() const {
  const UpdatePhase current = phase.load();
  return current == UpdatePhase::kAwaitingModeSwitch ||
         current == UpdatePhase::kAwaitingLoadedProgram;
}

void UpdateSession::CameraBack() {
  UpdatePhase awaited = UpdatePhase::kAwaitingModeSwitch;
  if (!phase.compare_exchange_strong(awaited, UpdatePhase::kCameraBack)) {
    awaited = UpdatePhase::kAwaitingLoadedProgram;
    phase.compare_exchange_strong(awaited, UpdatePhase::kCameraBack);
  }
}

void UpdateSession::Advance(UpdatePhase next) {
  phase = next;
  Observer().OnPhase(next);
}

bool UpdateSession::FinishRestartWait(UpdatePhase to) {
  UpdatePhase awaited = UpdatePhase::kAwaitingRestart;
  if (!phase.compare_exchange_strong(awaited, to)) {
    return false;
  }
  Observer().OnPhase(to);
  return true;
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

UpdateObserver& UpdateSession::Observer() {
  UpdateObserver* observer = observer_.load();
  return observer != nullptr ? *observer : nobody_;
}

void UpdateSession::ClearDownload() {
  blockCount = 0;
  pass = PassStep::kNone;
  bDFUOpened = 0;
  UpdatePhase current = phase.load();
  if (IsDownloadPhase(current)) {
    phase.compare_exchange_strong(current, UpdatePhase::kIdle);
  }
}

void UpdateSession::BeginUpdate() {
  ClearDownload();
  std::memset(USBUniqueID, 0, sizeof USBUniqueID);
  bMatchByUniqueID = 0;
  bUpdatedCameraGone = 0;
  bUpdatedFromHIDMode = 0;
  bIsStartUpdatedFromDFU = 0;
  bPescaDevice = 0;
  bCameraStartsAfresh = 0;
  bAnswersUnread = 0;
  bNXPMode = 0;
  bCameraLeft = 0;
  statusText[0] = L'\0';
  progressTotal = 0;
  blinkState = 0;
  // The earlier update's ending is over; a phase a thread still moves stays its own.
  UpdatePhase current = phase.load();
  if (current == UpdatePhase::kEndedFailed || current == UpdatePhase::kEndedOk) {
    phase.compare_exchange_strong(current, UpdatePhase::kIdle);
  }
}

void UpdateSession::EndFailed() {
  ClearDownload();
  bUpdatedFromHIDMode = 0;
  bIsStartUpdatedFromDFU = 0;
  bMatchByUniqueID = 0;
  phase = UpdatePhase::kEndedFailed;
}

void UpdateSession::Reset() {
  ClearDownload();
  std::memset(szUpdateDevicePath, 0, sizeof szUpdateDevicePath);
  std::memset(USBUniqueID, 0, sizeof USBUniqueID);
  bMatchByUniqueID = 0;
  camera = CameraIdentity{};
  std::memset(szTakenDevicePath, 0, sizeof szTakenDevicePath);
  bUpdateDeviceGone = 1;
  bUpdatedCameraGone = 0;
  bUpdatedFromHIDMode = 0;
  bIsStartUpdatedFromDFU = 0;
  phase = UpdatePhase::kIdle;
  bPescaDevice = 0;
  bCameraStartsAfresh = 0;
  bAnswersUnread = 0;
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
  std::atomic_store(&selectedImage, std::shared_ptr<const ParsedImage>{});
  bCombinedImage = 0;
  bNXPMode = 0;
  link.Forget();
  bSunplusDownloadBusy = 0;
  sunplus.reset();
}

}  // namespace veltra
