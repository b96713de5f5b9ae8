// The presenter's half for the devices: what the device-change handling, the list rebuild and the
// camera commands report becomes the device list, the buttons, the timers and message boxes of
// the dialog. The layers below decide what happened; how it looks is decided here.
#include <cstddef>

#include "app/dialog_observer.h"
#include "app/resource_ids.h"
#include "app/ui_state.h"
#include "core/ui_texts.h"
#include "platform/ports.h"

namespace veltra {

namespace {

// How each notice is shown: its caption and style, and whether the main dialog owns the box.
struct NoticeBox {
  const wchar_t* caption;
  std::uint32_t style;
  Notice notice;
  bool owned;  // false: a box of its own, not owned by the main dialog
};
constexpr NoticeBox kNoticeBoxes[] = {
    {L"Veltra_FW_Updater", kMbOk, Notice::kFirmwareVersion, true},
    {L"DovedIdiz_ID_Avaraze", kMbOk, Notice::kCx3Version, true},
    {kCaptionError, kMbOk, Notice::kLoaderThreadFailed, false},
    {kCaptionError, kMbIconError, Notice::kLoaderFileRefused, true},
};

// What the user is told of a failed step (Windows' error code goes to the trace where it fails).
struct FailureBox {
  const wchar_t* text;
  std::uint32_t style;
  FailedStep step;
};
constexpr FailureBox kFailureBoxes[] = {
    {L"Error in SetupDiGetDeviceInterfaceDetail!", kMbIconError | kMbTopmost,
     FailedStep::kInterfaceDetail},
};

}  // namespace

void DialogObserver::OnUiState(UiState state) {
  SetUIState(update_, state);
}

void DialogObserver::OnListCleared() {
  Dialog().ComboReset();
}

void DialogObserver::OnListEntry(const wchar_t* entry) {
  Dialog().ComboAddString(entry);
}

void DialogObserver::OnEntrySelected(int index) {
  Dialog().ComboSetCurSel(index);
}

void DialogObserver::OnVersionReadAllowed(bool allowed) {
  Dialog().EnableItem(IDC_BTN_READFW_VERSION, allowed);
}

void DialogObserver::OnFileCameraListed(bool versionRead) {
  Dialog().EnableItem(IDC_BTN_FW_UPDATE, true);
  Dialog().EnableItem(IDC_BTN_READFW_VERSION, versionRead);
}

void DialogObserver::OnFileCameraGone() {
  Dialog().EndDialog(Window::kConfirmDialog, 0);
  Dialog().SetItemText(IDC_EDIT_FIRMWARE_PATH, L"");
}

void DialogObserver::OnReturnWaitOver() {
  Dialog().KillTimer(IDT_TIMER_FOR_HD_ISSUE);
}

void DialogObserver::OnUpdatedCameraLeft() {
  Dialog().KillTimer(IDT_WARNING_TIMEOUT);
  Dialog().EnableWindowItem(Window::kWarnDialog, IDC_BTN_CONFIRM_OK, true);
}

void DialogObserver::OnUpdateResumes() {
  // The rebuild showed the ready state; the update is still under way.
  DialogView& dialog = Dialog();
  dialog.ShowItem(IDC_STATIC_MODE_SWITCH, true);
  dialog.ShowItem(IDC_STATIC_UPDATING, true);
  dialog.ShowItem(IDC_STATIC_STATUS, true);
  dialog.ShowItem(IDC_PROGRESS_BAR, true);
  SetUIState(update_, UiState::kUpdating);
  dialog.EnableItem(IDC_BTN_EXIT, false);
}

void DialogObserver::OnTakeOverRunning() {
  Dialog().EnableItem(IDC_BTN_EXIT, false);
}

void DialogObserver::OnTakeOverProblem(std::uintptr_t notice, std::uint32_t length) {
  // Posted: the dialog tells the user once the rebuild under way is over.
  Dialog().PostToDialog(WM_APP_LOADER_NOTICE, notice, static_cast<std::intptr_t>(length));
}

void DialogObserver::OnDevicesChanged() {
  Dialog().SetForeground(Window::kMainWindow);
  Dialog().SetForeground(Window::kMainDialog);
}

void DialogObserver::OnNotice(Notice notice, const wchar_t* text) {
  for (const NoticeBox& box : kNoticeBoxes) {
    if (box.notice == notice) {
      Dialog().MessageBox(text, box.caption, box.style, box.owned);
      return;
    }
  }
}

void DialogObserver::OnFailure(FailedStep step, std::uint32_t /*lastError: in the trace*/) {
  for (const FailureBox& box : kFailureBoxes) {
    if (box.step == step) {
      Dialog().MessageBox(box.text, kCaptionError, box.style);
      return;
    }
  }
}

}  // namespace veltra
