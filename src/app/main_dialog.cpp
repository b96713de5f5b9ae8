// The main dialog's message table: start-up, commands, timers, device changes and the progress
// messages the worker threads send. Runs on the dialog thread only; the workers reach it through
// Dialog().SendToDialog, which waits until the message has been handled here.
#include "app/dialog_observer.h"
#include "app/dialog_procedures.h"
#include "app/main_commands.h"
#include "app/refresher.h"
#include "app/resource_ids.h"
#include "app/ui_state.h"
#include "camera/boot_rom_notices.h"
#include "camera/device_change.h"
#include "core/debug_trace.h"
#include "core/text.h"
#include "core/ui_texts.h"
#include "core/update_controller.h"
#include "core/update_session.h"
#include "devices/device_table.h"
#include "dfu/dfu_requests.h"
#include "platform/ports.h"

namespace veltra {

namespace {

constexpr int kBlinkShown = 5;  // blinkState while the blinking text is on screen
constexpr int kBlinkBlank = 0;
constexpr int kBarLead = 3;  // the bar runs this far ahead of the percentage shown

// Timers 1 and 3: the status line alternates between the text and nothing.
void Blink(UpdateSession& update, const wchar_t* text) {
  if (update.blinkState.load() == kBlinkShown) {
    Dialog().SetItemText(IDC_STATIC_STATUS, L"");
    update.blinkState = kBlinkBlank;
  } else {
    Dialog().ShowItem(IDC_STATIC_UPDATING, false);
    Dialog().SetItemText(IDC_STATIC_STATUS, text);
    update.blinkState = kBlinkShown;
  }
}

void OnUpdateDone(UpdateSession& update);

// Timer 2 ran out: the camera did not come back in update mode after the mode switch, or not for
// the second pass after the first. Nothing else would end the update, so it ends here as a failed
// update does: every update flag cleared, the controls and EXIT back, and the user told what to do.
void EndUpdateCameraNotBack(UpdateSession& update) {
  const bool firstPassWritten = update.pass.load() == PassStep::kFirstPartWritten;
  // An NXP chip that did not come back from its restart: the image may not have taken.
  const bool nxpRestart = update.AwaitingRestart();
  update.EndFailed();
  Dialog().KillTimer(IDT_BLINK_ERASE);
  Dialog().KillTimer(IDT_BLINK_VERIFY);
  OnUpdateDone(update);
  Dialog().MessageBox(nxpRestart         ? kTextDownloadFailed
                      : firstPassWritten ? kTextSecondPassMissing
                                         : kTextModeSwitchMissing,
                      kCaptionError, kMbIconError);
}

void OnTimer(UpdateSession& update, std::uintptr_t id) {
  switch (id) {
    case IDT_BLINK_ERASE:
      Blink(update, kTextErasing);
      break;
    case IDT_BLINK_VERIFY:
      Blink(update, kTextVerifying);
      break;
    case IDT_TIMER_FOR_HD_ISSUE:
      if (update.AwaitingModeSwitch() || update.AwaitingRestart()) {
        DebugPrint(1, L"IDT_TIMER_FOR_HD_ISSUE elapsed\r\n");
        Dialog().KillTimer(IDT_TIMER_FOR_HD_ISSUE);
        EndUpdateCameraNotBack(update);
      }
      break;
    case IDT_WARNING_TIMEOUT:
      Dialog().KillTimer(IDT_WARNING_TIMEOUT);
      Dialog().EndDialog(Window::kWarnDialog, 1);
      Dialog().DialogBoxModal(IDD_ERROR_DIALOG);
      break;
    default:
      break;
  }
}

// "%d%%" of a percentage into the status line.
void ShowPercent(int percent) {
  wchar_t text[16] = {};
  FormatText(text, 16, L"%d%%", percent);
  Dialog().SetItemText(IDC_STATIC_STATUS, text);
}

void ShowUpdatingHeadline() {
  Dialog().SetItemText(IDC_STATIC_UPDATING, kTextUpdatingShort);
  Dialog().ShowItem(IDC_STATIC_UPDATING, true);
}

void OnEraseStart(UpdateSession& update, std::uintptr_t totalSteps) {
  Dialog().ShowItem(IDC_STATIC_UPDATING, false);
  Dialog().SetItemText(IDC_STATIC_STATUS, kTextErasing);
  update.progressTotal = static_cast<std::uint32_t>(totalSteps);
}

void OnProgress(const UpdateSession& update, std::uintptr_t stepsDone) {
  ShowUpdatingHeadline();
  const std::uint64_t total = update.progressTotal.load();
  // Only sent after the erase start set a total; a zero total shows 0 % instead of dividing.
  const std::uint64_t percent =
      total == 0 ? 0
                 : static_cast<std::uint64_t>(static_cast<std::uint32_t>(stepsDone)) * 100 / total;
  ShowPercent(static_cast<int>(percent));
  Dialog().ProgressSetPos(static_cast<int>(percent) + kBarLead);
}

// The Sunplus library's progress: wParam is the percentage + 1.
void OnPercent(std::uintptr_t valuePlusOne) {
  const int value = static_cast<int>(static_cast<std::uint32_t>(valuePlusOne));
  ShowUpdatingHeadline();
  ShowPercent(value - 1);
  Dialog().ShowItem(IDC_STATIC_STATUS, true);
  Dialog().ShowItem(IDC_PROGRESS_BAR, true);
  Dialog().ProgressSetPos(value + kBarLead);
}

void OnUpdateDone(UpdateSession& update) {
  update.progressTotal = 0;
  Dialog().SetItemText(IDC_STATIC_STATUS, L"");
  Dialog().ProgressSetPos(0);
  SetUIState(update, UiState::kUpdateDone);
  ReleaseDfuHandles(update.link);
}

std::intptr_t OnCommand(UpdateSession& update, std::uintptr_t wParam) {
  switch (LowWord(wParam)) {
    case IDC_BTN_BROWSE:
      OnBrowseCommand(update);
      break;
    case IDC_BTN_READFW_VERSION:
      OnReadVersionCommand();
      break;
    case IDC_BTN_FW_UPDATE:
      OnUpdateCommand(update);
      break;
    case IDC_BTN_RESET:
      OnResetCommand();
      break;
    case IDC_BTN_EXIT:
      OnExitCommand();
      break;
    case IDC_COMBO_DEVICELIST:
      if (HighWord(wParam) == kCbnSelChange) {
        OnSelectionChange(update);
      }
      break;
    default:
      return kDlgFalse;
  }
  return kDlgTrue;
}

}  // namespace

std::intptr_t MainDialogProc(Handle /*window*/, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) {
  // The dialog procedure is where the program's one update session is handed in.
  UpdateSession& update = CurrentUpdate();
  switch (message) {
    case kWmInitDialog:
      ConnectToDialog(update);
      SetInitialVaue();
      createThreadUpdateUI();
      return kDlgTrue;
    case kWmClose:
      OnExitCommand();
      return kDlgTrue;
    case kWmCommand:
      return OnCommand(update, wParam);
    case kWmTimer:
      OnTimer(update, wParam);
      return kDlgTrue;
    case kWmDeviceChange:
      if (lParam != 0) {
        // The adapter passes the address of the record it built.
        const auto* change =
            reinterpret_cast<const DeviceChange*>(lParam);  // NOLINT(performance-no-int-to-ptr)
        OnDeviceChange(update, *change);
      } else {
        // An event without a broadcast header (such as a change of the device tree) still
        // reaches the handling, which traces it and looks no further.
        DeviceChange change;
        change.event = static_cast<std::uint32_t>(wParam);
        OnDeviceChange(update, change);
      }
      return kDlgTrue;
    case WM_APP_ERASE_START:
      OnEraseStart(update, wParam);
      return kDlgTrue;
    case WM_APP_PROGRESS:
      OnProgress(update, wParam);
      return kDlgTrue;
    case WM_APP_UPDATE_DONE:
      OnUpdateDone(update);
      return kDlgTrue;
    case WM_APP_PERCENT:
      OnPercent(wParam);
      return kDlgTrue;
    case WM_APP_LOADER_NOTICE:
      OnLoaderNotice(update, wParam, lParam);
      return kDlgTrue;
    case WM_APP_LOADER_ENDED:
      OnLoaderEnded(update, wParam);
      return kDlgTrue;
    case WM_APP_LIBRARY_ENDED:
      // The handlers stood aside while the library wrote: the list is rebuilt from the bus.
      Controller().List().nDeviceCount = 0;
      SetDeviceArrivValueForVideoDevice(update);
      return kDlgTrue;
    default:
      return kDlgFalse;
  }
}

}  // namespace veltra
