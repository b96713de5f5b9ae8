#include "platform/win32/win32_dialog.h"

// clang-format off
#include "platform/win32/win32_windows.h"
#include <commctrl.h>
#include <commdlg.h>
#include <dbt.h>
#include <objbase.h>
// clang-format on

#include "app/resource_ids.h"
#include "core/text.h"
#include "core/update_controller.h"
#include "core/update_session.h"
#include "platform/system.h"
#include "platform/win32/win32_device_change.h"
#include "platform/win32/win32_dialog_cast.h"
#include "platform/win32/win32_dialog_procs.h"

namespace veltra {

namespace {

HWND AsWindow(Handle handle) {
  return FromInteger<HWND>(handle);
}

HWND WindowOf(Handle mainDialog, Window window) {
  switch (window) {
    case Window::kMainDialog:
      return AsWindow(mainDialog);
    case Window::kMainWindow:
      // The main dialog is created owned by the main window.
      return GetWindow(AsWindow(mainDialog), GW_OWNER);
    case Window::kConfirmDialog:
      return AsWindow(CurrentUpdate().hConfirmDlg.load());
    case Window::kWarnDialog:
      return AsWindow(CurrentUpdate().hWarnDlg.load());
  }
  return nullptr;
}

bool OwnThread(HWND window) {
  return GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

// The open-file dialog's filters, each a pair of texts; the first entry is preselected.
constexpr wchar_t kFilterBinFirst[] = L"Binary Files (*.BIN)\0*.bin\0Binary Files (*.IMG)\0*.img\0";
constexpr wchar_t kFilterImgFirst[] = L"Binary Files (*.IMG)\0*.img\0Binary Files (*.BIN)\0*.bin\0";

}  // namespace

void Win32DialogView::SetItemText(int id, const wchar_t* text) {
  SetDlgItemTextW(AsWindow(MainDialogHandle()), id, text == nullptr ? L"" : text);
}

std::wstring Win32DialogView::GetItemText(int id) {
  wchar_t text[kPathChars] = {};
  GetDlgItemTextW(AsWindow(MainDialogHandle()), id, text, static_cast<int>(kPathChars));
  text[kPathChars - 1] = L'\0';
  return text;
}

void Win32DialogView::ShowItem(int id, bool show) {
  ShowWindow(GetDlgItem(AsWindow(MainDialogHandle()), id), show ? SW_SHOW : SW_HIDE);
}

void Win32DialogView::EnableItem(int id, bool enable) {
  EnableWindow(GetDlgItem(AsWindow(MainDialogHandle()), id), enable ? TRUE : FALSE);
}

void Win32DialogView::EnableWindowItem(Window window, int id, bool enable) {
  const HWND target = WindowOf(MainDialogHandle(), window);
  if (target == nullptr || IsWindow(target) == FALSE) {
    return;
  }
  EnableWindow(GetDlgItem(target, id), enable ? TRUE : FALSE);
}

void Win32DialogView::ComboReset() {
  SendDlgItemMessageW(AsWindow(MainDialogHandle()), IDC_COMBO_DEVICELIST, CB_RESETCONTENT, 0, 0);
}

int Win32DialogView::ComboAddString(const wchar_t* text) {
  return static_cast<int>(
      SendDlgItemMessageW(AsWindow(MainDialogHandle()), IDC_COMBO_DEVICELIST, CB_ADDSTRING, 0,
                          reinterpret_cast<LPARAM>(text == nullptr ? L"" : text)));
}

int Win32DialogView::ComboSetCurSel(int index) {
  return static_cast<int>(SendDlgItemMessageW(AsWindow(MainDialogHandle()), IDC_COMBO_DEVICELIST,
                                              CB_SETCURSEL, static_cast<WPARAM>(index), 0));
}

int Win32DialogView::ComboGetCurSel() {
  return static_cast<int>(
      SendDlgItemMessageW(AsWindow(MainDialogHandle()), IDC_COMBO_DEVICELIST, CB_GETCURSEL, 0, 0));
}

void Win32DialogView::ProgressSetPos(int position) {
  SendDlgItemMessageW(AsWindow(MainDialogHandle()), IDC_PROGRESS_BAR, PBM_SETPOS,
                      static_cast<WPARAM>(position), 0);
}

void Win32DialogView::SetTimer(int id, std::uint32_t periodMs) {
  const HWND dialog = AsWindow(MainDialogHandle());
  if (OwnThread(dialog)) {
    ::SetTimer(dialog, static_cast<UINT_PTR>(id), periodMs, nullptr);
  } else {
    SendMessageW(dialog, kWmAdapterSetTimer, static_cast<WPARAM>(id),
                 static_cast<LPARAM>(periodMs));
  }
}

void Win32DialogView::KillTimer(int id) {
  const HWND dialog = AsWindow(MainDialogHandle());
  if (OwnThread(dialog)) {
    ::KillTimer(dialog, static_cast<UINT_PTR>(id));
  } else {
    SendMessageW(dialog, kWmAdapterKillTimer, static_cast<WPARAM>(id), 0);
  }
}

int Win32DialogView::MessageBox(const wchar_t* text, const wchar_t* caption, std::uint32_t style,
                                bool owned) {
  return MessageBoxW(owned ? AsWindow(MainDialogHandle()) : nullptr, text, caption, style);
}

bool Win32DialogView::OpenFileDialog(const OpenFileRequest& request, wchar_t* path,
                                     std::size_t pathChars, wchar_t* title,
                                     std::size_t titleChars) {
  wchar_t file[kPathChars] = {};
  wchar_t fileTitle[kPathChars] = {};
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = AsWindow(MainDialogHandle());
  ofn.lpstrFilter = request.binFirst ? kFilterBinFirst : kFilterImgFirst;
  ofn.nFilterIndex = 0;
  ofn.lpstrFile = file;
  ofn.nMaxFile = static_cast<DWORD>(kPathChars);
  ofn.lpstrFileTitle = fileTitle;
  ofn.nMaxFileTitle = static_cast<DWORD>(kPathChars);
  ofn.lpstrInitialDir = nullptr;
  ofn.Flags = request.flags;
  if (GetOpenFileNameW(&ofn) == FALSE) {
    return false;
  }
  file[kPathChars - 1] = L'\0';
  fileTitle[kPathChars - 1] = L'\0';
  CopyText(path, pathChars, file);
  CopyText(title, titleChars, fileTitle);
  return true;
}

std::intptr_t Win32DialogView::SendToDialog(std::uint32_t message, std::uintptr_t wParam,
                                            std::intptr_t lParam) {
  return SendMessageW(AsWindow(MainDialogHandle()), message, static_cast<WPARAM>(wParam),
                      static_cast<LPARAM>(lParam));
}

void Win32DialogView::PostToDialog(std::uint32_t message, std::uintptr_t wParam,
                                   std::intptr_t lParam) {
  PostMessageW(AsWindow(MainDialogHandle()), message, static_cast<WPARAM>(wParam),
               static_cast<LPARAM>(lParam));
}

std::intptr_t Win32DialogView::DialogBoxModal(int dialogId) {
  const DLGPROC proc = ModalDialogWin32Proc(dialogId);
  if (proc == nullptr) {
    return -1;
  }
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(dialogId),
                         AsWindow(MainDialogHandle()), proc, 0);
}

void Win32DialogView::EndDialog(Window window, std::intptr_t result) {
  const HWND target = WindowOf(MainDialogHandle(), window);
  if (target == nullptr || IsWindow(target) == FALSE) {
    return;
  }
  // A modal dialog ends from its own thread: the Warning dialog belongs to the update worker,
  // while timer 4 and the removal handling end it from the dialog thread.
  if (OwnThread(target)) {
    ::EndDialog(target, result);
  } else {
    SendMessageW(target, kWmAdapterEndDialog, static_cast<WPARAM>(result), 0);
  }
}

void Win32DialogView::SetForeground(Window window) {
  const HWND target = WindowOf(MainDialogHandle(), window);
  if (target != nullptr) {
    SetForegroundWindow(target);
  }
}

std::uint32_t Win32DialogView::WaitThreadPumping(Handle thread, std::uint32_t timeoutMs) {
  // The messages of one wake-up are handled up to this many at a time, so that a flood of posted
  // messages cannot keep the wait from looking at its thread and its deadline.
  constexpr int kMessagesPerWake = 64;
  const HANDLE object = FromInteger<HANDLE>(thread);
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    const DWORD woke = MsgWaitForMultipleObjects(1, &object, FALSE, left, QS_ALLINPUT);
    if (woke == WAIT_OBJECT_0) {
      return kWaitObject0;
    }
    if (woke != WAIT_OBJECT_0 + 1) {
      return kWaitTimeout;  // the time is up (or the wait failed)
    }
    MSG msg = {};
    for (int i = 0; i < kMessagesPerWake && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE;
         ++i) {
      if (msg.message == WM_QUIT) {
        // The quit belongs to the message loop: put it back for it and stop waiting.
        PostQuitMessage(static_cast<int>(msg.wParam));
        return kWaitTimeout;
      }
      const HWND dialog = AsWindow(MainDialogHandle());
      if (dialog != nullptr && IsDialogMessageW(dialog, &msg) != FALSE) {
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (GetTickCount64() >= deadline) {
      return WaitForSingleObject(object, 0) == WAIT_OBJECT_0 ? kWaitObject0 : kWaitTimeout;
    }
  }
}

bool Win32DialogView::RegisterDeviceNotification(DeviceInterfaceClass cls) {
  return RegisterInterfaceNotification(MainDialogHandle(), cls);
}

void Win32DialogView::SetSmallIconFromFile(const wchar_t* fileName) {
  const HANDLE icon = LoadImageW(nullptr, fileName, IMAGE_ICON, 32, 32, LR_LOADFROMFILE);
  if (icon != nullptr) {
    SendMessageW(AsWindow(MainDialogHandle()), WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(icon));
  }
}

void Win32DialogView::EndProgram() {
  CoUninitialize();
  // The main window's WM_DESTROY posts the quit message that ends the message loop.
  DestroyWindow(WindowOf(MainDialogHandle(), Window::kMainWindow));
}

}  // namespace veltra
