#include "demo/bench_window.h"

// clang-format off
#include "platform/win32/win32_windows.h"
#include <dbt.h>
// clang-format on

#include <string>
#include <vector>

#include "core/update_controller.h"
#include "platform/ports.h"
#include "platform/win32/win32_device_change.h"
#include "platform/win32/win32_dialog.h"
#include "platform/win32/win32_dialog_cast.h"
#include "platform/win32/win32_dialog_procs.h"

namespace veltra::demo {

namespace {

// Wide enough for a whole camera line of the default roster; longer lines scroll sideways.
constexpr int kWidth = 640;
constexpr int kHeight = 300;
constexpr int kMargin = 10;
constexpr int kGap = 8;  // between the dialog and the bench
constexpr UINT_PTR kPlaceTimer = 1;
constexpr UINT kPlaceTimerMs = 100;
constexpr std::size_t kMaxCommandChars = 256;
constexpr int kFieldChars = 16;

// The fault kinds the window offers, as the bench commands name them.
constexpr const wchar_t* kFaultKinds[] = {L"error",       L"short",      L"stuck",
                                          L"error-state", L"disconnect", L"none"};

DemoBench* BenchOf(HWND window) {
  return FromInteger<DemoBench*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

std::string Narrow(const wchar_t* text, std::size_t length) {
  std::string out;
  for (std::size_t i = 0; i < length && text[i] != L'\0'; ++i) {
    // Commands are ASCII; anything else cannot name a command, a camera or a fault.
    out.push_back(text[i] < 0x80 ? static_cast<char>(text[i]) : '?');
  }
  return out;
}

std::wstring Widen(const std::string& text) {
  return std::wstring(text.begin(), text.end());
}

HWND AddControl(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y,
                int w, int h, int id) {
  const HWND control = CreateWindowExW(
      cls == std::wstring(L"LISTBOX") || cls == std::wstring(L"EDIT") ? WS_EX_CLIENTEDGE : 0, cls,
      text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent, FromInteger<HMENU>(id), nullptr,
      nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               TRUE);
  return control;
}

void CreateControls(HWND window) {
  const int inner = kWidth - 2 * kMargin - 2 * GetSystemMetrics(SM_CXFIXEDFRAME);
  AddControl(window, L"LISTBOX", L"",
             WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, kMargin,
             kMargin, inner, 150, kBenchList);
  int y = kMargin + 160;
  AddControl(window, L"BUTTON", L"Plug", BS_PUSHBUTTON | WS_TABSTOP, kMargin, y, 90, 26,
             kBenchPlug);
  AddControl(window, L"BUTTON", L"Unplug", BS_PUSHBUTTON | WS_TABSTOP, kMargin + 100, y, 90, 26,
             kBenchUnplug);
  y += 36;
  AddControl(window, L"STATIC", L"Fault:", SS_LEFT, kMargin, y + 4, 40, 20, -1);
  const HWND kinds = AddControl(window, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_TABSTOP,
                                kMargin + 45, y, 100, 200, kBenchFaultKind);
  for (const wchar_t* kind : kFaultKinds) {
    SendMessageW(kinds, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kind));
  }
  SendMessageW(kinds, CB_SETCURSEL, 0, 0);
  AddControl(window, L"STATIC", L"at transfer", SS_LEFT, kMargin + 155, y + 4, 65, 20, -1);
  AddControl(window, L"EDIT", L"0", ES_NUMBER | WS_TABSTOP, kMargin + 222, y, 50, 24,
             kBenchFaultAfter);
  AddControl(window, L"STATIC", L"from now", SS_LEFT, kMargin + 280, y + 4, 60, 20, -1);
  AddControl(window, L"BUTTON", L"Set fault", BS_PUSHBUTTON | WS_TABSTOP, kMargin + 345, y, 90, 26,
             kBenchSetFault);
  y += 36;
  AddControl(window, L"STATIC", L"Select a camera, then Plug or Unplug it.", SS_LEFT, kMargin, y,
             inner, 20, kBenchStatus);
}

void Refresh(HWND window) {
  DemoBench* bench = BenchOf(window);
  if (bench == nullptr) {
    return;
  }
  const HWND list = GetDlgItem(window, kBenchList);
  const LRESULT selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  // A list box scrolls sideways only as far as it is told: the widest line, in the list's font.
  LONG widest = 0;
  const HDC dc = GetDC(list);
  const HGDIOBJ oldFont =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0)));
  for (const std::wstring& line : bench->Describe()) {
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    SIZE size = {};
    if (GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size) != 0 &&
        size.cx > widest) {
      widest = size.cx;
    }
  }
  SelectObject(dc, oldFont);
  ReleaseDC(list, dc);
  constexpr LONG kTextPadding = 8;
  SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + kTextPadding), 0);
  SendMessageW(list, LB_SETCURSEL, selected == LB_ERR ? 0 : static_cast<WPARAM>(selected), 0);
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

bool RunCommand(HWND window, const std::string& text) {
  DemoBench* bench = BenchOf(window);
  BenchCommand command;
  std::string error;
  if (bench == nullptr) {
    error = "the bench is gone";
  } else if (ParseBenchCommand(text, &command, &error)) {
    error = bench->Execute(command);
  }
  const std::wstring status = Widen(error.empty() ? text + ": done" : text + ": " + error);
  SetDlgItemTextW(window, kBenchStatus, status.c_str());
  Refresh(window);
  return error.empty();
}

// The command a button stands for, on the camera selected in the list.
void OnButton(HWND window, int id) {
  const LRESULT selected = SendDlgItemMessageW(window, kBenchList, LB_GETCURSEL, 0, 0);
  if (selected == LB_ERR) {
    SetDlgItemTextW(window, kBenchStatus, L"Select a camera first.");
    return;
  }
  const std::string camera = std::to_string(selected);
  switch (id) {
    case kBenchPlug:
      RunCommand(window, "plug " + camera);
      break;
    case kBenchUnplug:
      RunCommand(window, "unplug " + camera);
      break;
    case kBenchSetFault: {
      wchar_t kind[kFieldChars] = {};
      wchar_t after[kFieldChars] = {};
      GetDlgItemTextW(window, kBenchFaultKind, kind, kFieldChars);
      GetDlgItemTextW(window, kBenchFaultAfter, after, kFieldChars);
      const std::string kindText = Narrow(kind, kFieldChars);
      RunCommand(window, "fault " + camera + " " + kindText +
                             (kindText == "none" ? "" : "@" + Narrow(after, kFieldChars)));
      break;
    }
    default:
      break;
  }
}

// The program's dialog view, handed in when the window is made. The dialog port the demo installs
// is the application's view of the controls in front of it, so it is not found through the port.
const Win32DialogView* programDialog = nullptr;

// The program's main dialog, as its dialog view noted it (null until it is up).
HWND MainDialog() {
  return programDialog == nullptr ? nullptr : FromInteger<HWND>(programDialog->MainDialogHandle());
}

// What Windows would broadcast for a device interface of the class that changed.
void DeliverDeviceChange(WPARAM event, LPARAM usbDeviceClass) {
  const HWND dialog = MainDialog();
  if (dialog == nullptr) {
    return;  // the dialog is not up yet: its start-up scan will see the bus as it is
  }
  DEV_BROADCAST_DEVICEINTERFACE_W broadcast = {};
  broadcast.dbcc_size = sizeof broadcast;
  broadcast.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  broadcast.dbcc_classguid = usbDeviceClass != 0 ? kUsbDeviceInterfaceClass : kHidInterfaceClass;
  SendMessageW(dialog, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&broadcast));
}

// Where the bench fits beside the dialog on the work area without covering it: right of it,
// left of it or below it. false when none of them fits.
bool FindPlaceBeside(const RECT& dialogRect, const RECT& work, POINT* at) {
  const POINT candidates[] = {{dialogRect.right + kGap, dialogRect.top},
                              {dialogRect.left - kGap - kWidth, dialogRect.top},
                              {dialogRect.left, dialogRect.bottom + kGap}};
  for (const POINT& candidate : candidates) {
    if (candidate.x >= work.left && candidate.y >= work.top && candidate.x + kWidth <= work.right &&
        candidate.y + kHeight <= work.bottom) {
      *at = candidate;
      return true;
    }
  }
  return false;
}

// Beside the main dialog, never over it: the screenshots must show both whole. When the dialog
// stands where nothing fits beside it (centred on a small screen), the dialog is moved to the work
// area's top-left corner first; on a screen too small even then, the bench takes the bottom-right
// corner.
void PlaceBesideDialog(HWND window, HWND dialog) {
  RECT dialogRect;
  RECT work;
  GetWindowRect(dialog, &dialogRect);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  POINT at = {work.right - kWidth, work.bottom - kHeight};
  if (!FindPlaceBeside(dialogRect, work, &at)) {
    SetWindowPos(dialog, nullptr, work.left, work.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(dialog, &dialogRect);
    if (!FindPlaceBeside(dialogRect, work, &at)) {
      at = {work.right - kWidth, work.bottom - kHeight};
    }
  }
  SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK BenchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      const auto* create = FromInteger<const CREATESTRUCTW*>(lParam);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      return DefWindowProcW(window, message, wParam, lParam);
    }
    case WM_CREATE:
      CreateControls(window);
      Refresh(window);
      SetTimer(window, kPlaceTimer, kPlaceTimerMs, nullptr);
      return 0;
    case WM_TIMER: {
      const HWND dialog = MainDialog();
      if (wParam == kPlaceTimer && dialog != nullptr && IsWindowVisible(dialog) != FALSE) {
        KillTimer(window, kPlaceTimer);
        PlaceBesideDialog(window, dialog);
        ShowWindow(window, SW_SHOWNOACTIVATE);
      }
      return 0;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) {
        OnButton(window, LOWORD(wParam));
      }
      return 0;
    case WM_COPYDATA: {
      const auto* data = FromInteger<const COPYDATASTRUCT*>(lParam);
      if (data == nullptr || data->dwData != kBenchCommandTag || data->lpData == nullptr) {
        return FALSE;
      }
      const std::size_t chars = data->cbData / sizeof(wchar_t);
      if (chars > kMaxCommandChars) {
        SetDlgItemTextW(window, kBenchStatus, L"command too long");
        return FALSE;
      }
      return RunCommand(window, Narrow(static_cast<const wchar_t*>(data->lpData), chars)) ? TRUE
                                                                                          : FALSE;
    }
    case kWmBenchDeviceChange:
      DeliverDeviceChange(wParam, lParam);
      return 0;
    case kWmBenchRefresh:
      Refresh(window);
      return 0;
    case WM_CLOSE:
      return 0;  // the bench lives as long as the program; it has no close box either
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

HWND CreateBenchWindow(HINSTANCE instance, DemoBench& bench, const Win32DialogView& view) {
  programDialog = &view;
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &BenchWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = FromInteger<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kBenchWindowClass;
  if (RegisterClassExW(&wc) == 0) {
    return nullptr;
  }
  const HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kBenchWindowClass, kBenchWindowTitle,
                                      WS_OVERLAPPED | WS_CAPTION, CW_USEDEFAULT, CW_USEDEFAULT,
                                      kWidth, kHeight, nullptr, nullptr, instance, &bench);
  if (window == nullptr) {
    return nullptr;
  }
  // Both run on bench threads: the window takes them on its own (the dialog's) thread.
  bench.OnBusChange([window] { PostMessageW(window, kWmBenchRefresh, 0, 0); });
  bench.NotifyChanges([window](const DeviceChange& change) {
    if (change.cls == DeviceInterfaceClass::kOther) {
      return;
    }
    const LPARAM usbDevice = change.cls == DeviceInterfaceClass::kUsbDevice ? 1 : 0;
    PostMessageW(window, kWmBenchDeviceChange, change.event, usbDevice);
  });
  return window;
}

}  // namespace veltra::demo
