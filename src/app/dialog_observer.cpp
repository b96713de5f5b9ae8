#include "app/dialog_observer.h"

#include <memory>

#include "app/resource_ids.h"
#include "app/ui_state.h"
#include "core/ui_texts.h"
#include "platform/ports.h"

namespace veltra {

namespace {

constexpr std::uint32_t kBlinkEraseTimerMs = 400;
constexpr std::uint32_t kBlinkVerifyTimerMs = 300;
// How long the camera may take to come back for the second pass: as long as the Warning dialog
// waits for a camera to finish its update.
constexpr std::uint32_t kSecondPassWaitMs = 180000;
constexpr std::uint32_t kRestartWaitMs = 60000;
// The pause between the failed download's cleared bar and its message.
constexpr std::uint32_t kFailurePauseMs = 10;
constexpr int kBlinkShown = 5;

constexpr wchar_t kTextGetStatusFailed[] = L"Get Status Failed!";
constexpr wchar_t kTextChangeStateFailed[] = L"Change State Failed!";
constexpr wchar_t kTextUsbFailure[] = L"USB Communication Failure!";

// The camera's DFU state could not be settled: nothing was sent.
void EndWithUsbFailure(const UpdateSession& update, const wchar_t* first,
                       std::uint32_t firstStyle) {
  DialogView& dialog = Dialog();
  dialog.MessageBox(first, kCaptionError, firstStyle);
  // Nothing was sent, so nothing is blinking for a reason any more: an idle dialog stays quiet.
  dialog.KillTimer(IDT_BLINK_ERASE);
  dialog.MessageBox(kTextUsbFailure, kCaptionError, kMbIconError);
  SetUIState(update, UiState::kUpdateFailed);
}

}  // namespace

DialogObserver::DialogObserver(UpdateSession& update) : update_(update) {}

void DialogObserver::OnEraseStart(std::uint32_t steps) {
  Dialog().SendToDialog(WM_APP_ERASE_START, steps, 0);
  // A DFU engine announces its total while the camera erases, and keeps the headline; the flash
  // loader's total comes with its writing and leaves the erase start's text alone.
  if (update_.Phase() == UpdatePhase::kErasing) {
    Dialog().ShowItem(IDC_STATIC_UPDATING, true);
  }
}

void DialogObserver::OnProgress(std::uint32_t done) {
  Dialog().SendToDialog(WM_APP_PROGRESS, done, 0);
}

// The dialog's message carries the percentage + 1.
std::intptr_t DialogObserver::OnPercent(std::uint32_t percent) {
  return Dialog().SendToDialog(WM_APP_PERCENT, percent + 1, 0);
}

void DialogObserver::OnPhase(UpdatePhase phase) {
  DialogView& dialog = Dialog();
  switch (phase) {
    case UpdatePhase::kStarting:
      dialog.KillTimer(IDT_BLINK_ERASE);
      dialog.SetTimer(IDT_BLINK_ERASE, kBlinkEraseTimerMs);
      dialog.EnableItem(IDC_BTN_FW_UPDATE, false);
      dialog.EnableItem(IDC_BTN_RESET, false);
      break;
    case UpdatePhase::kErasing:
      dialog.KillTimer(IDT_BLINK_VERIFY);
      break;
    case UpdatePhase::kVerifying:
      dialog.SetTimer(IDT_BLINK_VERIFY, kBlinkVerifyTimerMs);
      break;
    case UpdatePhase::kWriting:
      dialog.KillTimer(IDT_BLINK_ERASE);
      dialog.KillTimer(IDT_BLINK_VERIFY);
      break;
    case UpdatePhase::kAwaitingModeSwitch:
      // Should the camera not come back, timer 2 ends the update with a message.
      dialog.SetTimer(IDT_TIMER_FOR_HD_ISSUE, kSecondPassWaitMs);
      break;
    case UpdatePhase::kAwaitingLoadedProgram:
    case UpdatePhase::kAwaitingRestart:
      // A loaded program starts, and a camera restarts after its download, at once: as long as
      // a mode switch is given.
      dialog.SetTimer(IDT_TIMER_FOR_HD_ISSUE, kRestartWaitMs);
      break;
    case UpdatePhase::kEndedOk:
    case UpdatePhase::kEndedFailed:
      // Whatever return was awaited has come or will not come: its bound goes with it.
      dialog.KillTimer(IDT_TIMER_FOR_HD_ISSUE);
      break;
    default:
      break;
  }
}

void DialogObserver::OnDone(UpdateOutcome outcome, const wchar_t* text) {
  DialogView& dialog = Dialog();
  switch (outcome) {
    case UpdateOutcome::kSucceeded:
      dialog.SendToDialog(WM_APP_UPDATE_DONE, 0, 0);
      dialog.MessageBox(kTextDownloadSucceeded, kCaptionSuccess, kMbIconExclamation);
      break;
    case UpdateOutcome::kWrittenUnconfirmed:
      dialog.SendToDialog(WM_APP_UPDATE_DONE, 0, 0);
      dialog.MessageBox(kTextWrittenUnconfirmed, kCaptionWarning, kMbIconWarning);
      break;
    case UpdateOutcome::kSucceededCameraRestarts:
      dialog.SendToDialog(WM_APP_UPDATE_DONE, 0, 0);
      dialog.DialogBoxModal(IDD_WARNING_DIALOG);
      break;
    case UpdateOutcome::kStatusReadFailed:
      EndWithUsbFailure(update_, kTextGetStatusFailed, kMbIconError | kMbTopmost);
      break;
    case UpdateOutcome::kStateChangeFailed:
      EndWithUsbFailure(update_, kTextChangeStateFailed, kMbIconError);
      break;
    case UpdateOutcome::kDownloadFailed:
      update_.blinkState = kBlinkShown;
      dialog.KillTimer(IDT_BLINK_VERIFY);
      dialog.KillTimer(IDT_BLINK_ERASE);
      dialog.ProgressSetPos(0);
      Sys().Sleep(kFailurePauseMs);
      dialog.MessageBox(text != nullptr ? text : kTextDownloadFailed, kCaptionError, kMbIconError);
      SetUIState(update_, UiState::kUpdateFailed);
      break;
    case UpdateOutcome::kCameraNotInUpdateMode:
      dialog.KillTimer(IDT_TIMER_FOR_HD_ISSUE);
      dialog.KillTimer(IDT_BLINK_ERASE);
      dialog.KillTimer(IDT_BLINK_VERIFY);
      dialog.ProgressSetPos(0);
      SetUIState(update_, UiState::kUpdateFailed);
      dialog.MessageBox(kTextDownloadFailed, kCaptionError, kMbIconError);
      break;
    case UpdateOutcome::kNoWorkerThread:
      dialog.MessageBox(kTextThreadFailed, kCaptionError, kMbOk, false);
      break;
    case UpdateOutcome::kLoaderFailed:
      dialog.KillTimer(IDT_BLINK_ERASE);
      dialog.SendToDialog(WM_APP_UPDATE_DONE, 0, 0);
      dialog.MessageBox(text != nullptr ? text : kTextDownloadFailed, kCaptionError, kMbIconError);
      break;
    case UpdateOutcome::kLibraryNotReady:
      dialog.MessageBox(text != nullptr ? text : kTextDownloadFailed, kCaptionError, kMbIconError);
      break;
    case UpdateOutcome::kLibrarySucceeded:
      dialog.MessageBox(kTextDownloadSucceeded, kCaptionSuccess, kMbIconWarning);
      break;
    case UpdateOutcome::kLibraryFailed:
      SetUIState(update_, UiState::kUpdateFailed);
      dialog.MessageBox(kTextDownloadFailed, kCaptionError, kMbIconError);
      break;
  }
}

void DialogObserver::OnLoaderEnded(bool loaded) {
  // Posted: the thread does not wait, and the dialog handles it after the notification or
  // rebuild it may be in.
  Dialog().PostToDialog(WM_APP_LOADER_ENDED, loaded ? 1 : 0, 0);
}

void DialogObserver::OnLibraryDownloadEnded() {
  Dialog().PostToDialog(WM_APP_LIBRARY_ENDED, 0, 0);
}

void ConnectToDialog(UpdateSession& update) {
  // The program's one session reports to the main dialog for as long as the program runs.
  update.KeepObserver(std::make_unique<DialogObserver>(update));
}

}  // namespace veltra
