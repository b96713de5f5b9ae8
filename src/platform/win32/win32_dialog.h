// The dialog port on Windows: the main dialog by the handle it was given when it was created, the
// update's modal dialogs by the handles the update session keeps, the controls by their IDs.
//
// Worker threads call this too. Most calls work from any thread (Windows sends the control the
// message); SetTimer and KillTimer need the window's own thread and EndDialog the dialog's own
// thread, so from another thread they are handed to that window with a private message.
#pragma once

#include <atomic>

#include "platform/dialog_view.h"

namespace veltra {

// Private messages of the adapter (above the program's own WM_APP_* messages).
constexpr unsigned kWmAdapterSetTimer = 0x8100;   // wParam timer ID, lParam period
constexpr unsigned kWmAdapterKillTimer = 0x8101;  // wParam timer ID
constexpr unsigned kWmAdapterEndDialog = 0x8102;  // wParam result

class Win32DialogView : public DialogView {
 public:
  void SetItemText(int id, const wchar_t* text) override;
  std::wstring GetItemText(int id) override;
  void ShowItem(int id, bool show) override;
  void EnableItem(int id, bool enable) override;
  void EnableWindowItem(Window window, int id, bool enable) override;
  void ComboReset() override;
  int ComboAddString(const wchar_t* text) override;
  int ComboSetCurSel(int index) override;
  int ComboGetCurSel() override;
  void ProgressSetPos(int position) override;
  void SetTimer(int id, std::uint32_t periodMs) override;
  void KillTimer(int id) override;
  int MessageBox(const wchar_t* text, const wchar_t* caption, std::uint32_t style,
                 bool owned) override;
  bool OpenFileDialog(const OpenFileRequest& request, wchar_t* path, std::size_t pathChars,
                      wchar_t* title, std::size_t titleChars) override;
  std::intptr_t SendToDialog(std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override;
  void PostToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
  std::intptr_t DialogBoxModal(int dialogId) override;
  void EndDialog(Window window, std::intptr_t result) override;
  void SetForeground(Window window) override;
  std::uint32_t WaitThreadPumping(Handle thread, std::uint32_t timeoutMs) override;
  bool RegisterDeviceNotification(DeviceInterfaceClass cls) override;
  void SetSmallIconFromFile(const wchar_t* fileName) override;
  void EndProgram() override;

  // The main dialog, noted by its WM_INITDIALOG (the dialog is created with this view as its
  // parameter) and addressed by every call above until the process ends; worker threads read it.
  void AttachMainDialog(Handle dialog) { mainDialog_ = dialog; }
  Handle MainDialogHandle() const { return mainDialog_.load(); }

 private:
  std::atomic<Handle> mainDialog_{kNullHandle};
};

}  // namespace veltra
