#include "platform/win32/win32_dialog_procs.h"

// clang-format off
#include "platform/win32/win32_windows.h"
#include <dbt.h>
// clang-format on

#include "app/dialog_procedures.h"
#include "app/resource_ids.h"
#include "core/update_controller.h"
#include "platform/device_discovery.h"
#include "platform/win32/win32_device_change.h"
#include "platform/win32/win32_dialog.h"
#include "platform/win32/win32_dialog_cast.h"

namespace veltra {

HFONT LabelFont() {
  // Created once and never changed: Arial, height 15, bold, OEM character set, ClearType.
  static const HFONT font =
      CreateFontW(15, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, OEM_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Arial");
  return font;
}

namespace {

// Text colours (COLORREF is 0x00BBGGRR).
constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kOrange = 0x0064FF;
constexpr COLORREF kBlue = 0xFF0000;
constexpr COLORREF kWarningBackground = 0xF0F0F0;
constexpr int kStaticNoId = -1;

Handle AsHandle(HWND window) {
  return reinterpret_cast<Handle>(window);
}

// The brush behind the red warning texts; made once and kept for the program's life.
HBRUSH WarningBrush() {
  static const HBRUSH brush = CreateSolidBrush(kWarningBackground);
  return brush;
}

// The main dialog's coloured static texts: the label font on the button face, each text in its
// colour. FALSE leaves the other controls their default colours.
INT_PTR MainStaticColour(HDC dc, HWND control) {
  COLORREF colour = CLR_INVALID;
  switch (GetDlgCtrlID(control)) {
    case IDC_STATIC_STATUS:
    case IDC_STATIC_UPDATING:
    case IDC_STATIC_MODE_SWITCH:
      break;
    case IDC_STATIC_NO_DEVICE:
      colour = kRed;
      break;
    case IDC_STATIC_CONNECTED:
      colour = kOrange;
      break;
    case IDC_STATIC_VERSION:
    case IDC_STATIC_PUBLISHER:
      colour = kBlue;
      break;
    default:
      return FALSE;
  }
  SelectObject(dc, LabelFont());
  SetBkMode(dc, TRANSPARENT);
  if (colour != CLR_INVALID) {
    SetTextColor(dc, colour);
  }
  return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

// The warning text of dialogs 130, 143 and 144: red on light grey in the label font.
INT_PTR WarningStaticColour(HDC dc, HWND control) {
  if (GetDlgCtrlID(control) != kStaticNoId) {
    return FALSE;
  }
  SelectObject(dc, LabelFont());
  SetBkColor(dc, kWarningBackground);
  SetTextColor(dc, kRed);
  return reinterpret_cast<INT_PTR>(WarningBrush());
}

INT_PTR Forward(DialogProcedure proc, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return static_cast<INT_PTR>(proc(AsHandle(dialog), message, static_cast<std::uintptr_t>(wParam),
                                   static_cast<std::intptr_t>(lParam)));
}

// The three modal dialogs share their handling: the warning colours, and EndDialog asked for
// from another thread.
INT_PTR ModalCommon(DialogProcedure proc, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CTLCOLORSTATIC:
      return WarningStaticColour(FromInteger<HDC>(wParam), FromInteger<HWND>(lParam));
    case kWmAdapterEndDialog:
      EndDialog(dialog, static_cast<INT_PTR>(wParam));
      return TRUE;
    default:
      return Forward(proc, dialog, message, wParam, lParam);
  }
}

INT_PTR CALLBACK ConfirmDialogWin32Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return ModalCommon(&ConfirmDialogProc, dialog, message, wParam, lParam);
}

INT_PTR CALLBACK WarningDialogWin32Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return ModalCommon(&WarningDialogProc, dialog, message, wParam, lParam);
}

INT_PTR CALLBACK ErrorDialogWin32Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return ModalCommon(&ErrorDialogProc, dialog, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_COMMAND:
      // The class menu and the accelerators have no commands behind them.
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

INT_PTR CALLBACK MainDialogWin32Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      // Created with the dialog view as its parameter: every later call of the view addresses
      // this window.
      if (lParam != 0) {
        reinterpret_cast<Win32DialogView*>(lParam)->AttachMainDialog(AsHandle(dialog));
      }
      return Forward(&MainDialogProc, dialog, message, wParam, lParam);
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(dialog, &paint);
      EndPaint(dialog, &paint);
      return TRUE;
    }
    case WM_CTLCOLORDLG:
      SetBkMode(FromInteger<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_CTLCOLORSTATIC:
      return MainStaticColour(FromInteger<HDC>(wParam), FromInteger<HWND>(lParam));
    case WM_DEVICECHANGE: {
      const DeviceChange change = ToDeviceChange(wParam, lParam);
      return Forward(&MainDialogProc, dialog, message, wParam, reinterpret_cast<LPARAM>(&change));
    }
    case kWmAdapterSetTimer:
      SetTimer(dialog, static_cast<UINT_PTR>(wParam), static_cast<UINT>(lParam), nullptr);
      return TRUE;
    case kWmAdapterKillTimer:
      KillTimer(dialog, static_cast<UINT_PTR>(wParam));
      return TRUE;
    default:
      return Forward(&MainDialogProc, dialog, message, wParam, lParam);
  }
}

DLGPROC ModalDialogWin32Proc(int dialogId) {
  switch (dialogId) {
    case IDD_CONFIRM_DIALOG:
      return &ConfirmDialogWin32Proc;
    case IDD_WARNING_DIALOG:
      return &WarningDialogWin32Proc;
    case IDD_ERROR_DIALOG:
      return &ErrorDialogWin32Proc;
    default:
      return nullptr;
  }
}

}  // namespace veltra
