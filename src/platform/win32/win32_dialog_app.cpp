#include "platform/win32/win32_dialog_app.h"

// clang-format off
#include "platform/win32/win32_windows.h"
#include <commctrl.h>
#include <objbase.h>
// clang-format on

#include "app/resource_ids.h"
#include "core/update_controller.h"
#include "platform/win32/win32_dialog_cast.h"
#include "platform/win32/win32_dialog_procs.h"
#include "platform/win32/win32_single_instance.h"

namespace veltra {

namespace {

constexpr int kNameChars = 100;
// The claim both programs share is held by veltra-update (the dialog's own copy is found by its
// window first).
constexpr wchar_t kTextConsoleProgramRunning[] =
    L"veltra-update is updating cameras. Please start the updater again when it has finished.";

ATOM RegisterMainClass(HINSTANCE instance, const wchar_t* className) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = &MainWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP_ICON));
  wc.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP_ICON));
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = FromInteger<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszMenuName = MAKEINTRESOURCEW(IDC_VELTRA_FW_UPDATER);
  wc.lpszClassName = className;
  return RegisterClassExW(&wc);
}

}  // namespace

int RunVeltraApplication(HINSTANCE instance, int showCommand, Win32DialogView& view) {
  wchar_t title[kNameChars] = {};
  wchar_t className[kNameChars] = {};
  LoadStringW(instance, IDS_APP_TITLE, title, kNameChars);
  LoadStringW(instance, IDC_VELTRA_FW_UPDATER, className, kNameChars);
  RegisterMainClass(instance, className);

  // One copy at a time: a second start brings the running one to the front and ends.
  const HWND running = FindWindowW(className, title);
  if (running != nullptr) {
    OutputDebugStringW(L"FindWindow .........succeed\r\n");
    ShowWindow(running, SW_SHOW);
    const HWND popup = GetLastActivePopup(running);
    SetForegroundWindow(popup != nullptr ? popup : running);
    return 0;
  }
  // Nor beside veltra-update: both would reach for the same cameras (docs/decisions.md). The
  // claim is held until the process ends.
  SingleInstance claim;
  if (!claim.Claim()) {
    MessageBoxW(nullptr, kTextConsoleProgramRunning, title, MB_OK | MB_ICONWARNING);
    return 0;
  }

  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  LabelFont();  // created here, before any window paints with it
  // The progress bar's window class (themed common controls of the manifest).
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  const HWND mainWindow = CreateWindowExW(0, className, title, WS_POPUP, 0, 0, 0, 0, nullptr,
                                          nullptr, instance, nullptr);
  if (mainWindow == nullptr) {
    return 0;
  }

  // WM_INITDIALOG runs the start-up scan and starts the refresher thread before this returns.
  const HWND dialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN_DIALOG), mainWindow,
                                         &MainDialogWin32Proc, reinterpret_cast<LPARAM>(&view));
  if (dialog == nullptr) {
    return 0;
  }
  ShowWindow(mainWindow, showCommand);
  ShowWindow(dialog, showCommand);
  UpdateWindow(mainWindow);

  const HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDC_VELTRA_FW_UPDATER));
  MSG msg = {};
  // GetMessageW answers -1 on an invalid call; that ends the loop as well as the quit message.
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (TranslateAcceleratorW(msg.hwnd, accelerators, &msg) != 0) {
      continue;
    }
    // Tab and the arrow keys move between the dialog's controls.
    const HWND mainDialog = FromInteger<HWND>(view.MainDialogHandle());
    if (mainDialog != nullptr && IsDialogMessageW(mainDialog, &msg) != FALSE) {
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace veltra
