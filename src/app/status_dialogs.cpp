// The "Warning" (143) and "Error" (144) dialogs. The Warning dialog is opened by the update worker
// after a two-pass update of a camera that finishes its update on its own; it stays up until that
// camera has left its update mode (the device-change handling enables its OK, see
// camera::EndWarningWaitOnceCameraLeft) or until timer 4 replaces it with the Error dialog after
// three minutes.
#include "app/dialog_procedures.h"
#include "app/resource_ids.h"
#include "core/update_controller.h"
#include "core/update_session.h"
#include "platform/ports.h"

namespace veltra {

namespace {
constexpr std::uint32_t kWarningTimeoutMs = 180000;
constexpr int kIdOkButton = 1;      // IDOK: the Error dialog's OK
constexpr int kIdCancelButton = 2;  // IDCANCEL: Esc or the close box
}  // namespace

std::intptr_t WarningDialogProc(Handle window, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t /*lParam*/) {
  if (window != kNullHandle) {
    CurrentUpdate().hWarnDlg = window;
  }
  switch (message) {
    case kWmInitDialog:
      Dialog().EnableWindowItem(Window::kWarnDialog, IDC_BTN_CONFIRM_OK, false);
      Dialog().SetTimer(IDT_WARNING_TIMEOUT, kWarningTimeoutMs);
      // The camera restarts as soon as its last pass is written, so its departure may have been
      // handled before this dialog existed: then there is nothing left to wait for. Checked after
      // the timer is started, so that a change handled meanwhile on the dialog thread is either
      // seen here or kills the timer itself.
      if (CurrentUpdate().bUpdatedCameraGone.load() != 0) {
        Dialog().KillTimer(IDT_WARNING_TIMEOUT);
        Dialog().EnableWindowItem(Window::kWarnDialog, IDC_BTN_CONFIRM_OK, true);
      }
      return kDlgTrue;
    case kWmCommand:
      if (LowWord(wParam) == IDC_BTN_CONFIRM_OK) {
        Dialog().EndDialog(Window::kWarnDialog, 1);
        Dialog().KillTimer(IDT_WARNING_TIMEOUT);
        return kDlgTrue;
      }
      return kDlgFalse;
    default:
      return kDlgFalse;
  }
}

std::intptr_t ErrorDialogProc(Handle window, std::uint32_t message, std::uintptr_t wParam,
                              std::intptr_t /*lParam*/) {
  if (window != kNullHandle) {
    CurrentUpdate().hWarnDlg = window;
  }
  switch (message) {
    case kWmInitDialog:
      Dialog().EnableWindowItem(Window::kWarnDialog, kIdOkButton, true);
      return kDlgTrue;
    case kWmCommand:
      // The failure has been told; Esc and the close box dismiss it like OK.
      if (LowWord(wParam) == kIdOkButton || LowWord(wParam) == kIdCancelButton) {
        Dialog().EndDialog(Window::kWarnDialog, 1);
        return kDlgTrue;
      }
      return kDlgFalse;
    default:
      return kDlgFalse;
  }
}

DialogProcedure ModalDialogProcedure(int dialogId) {
  switch (dialogId) {
    case IDD_CONFIRM_DIALOG:
      return &ConfirmDialogProc;
    case IDD_WARNING_DIALOG:
      return &WarningDialogProc;
    case IDD_ERROR_DIALOG:
      return &ErrorDialogProc;
    default:
      return nullptr;
  }
}

}  // namespace veltra
