// Dialog port: everything the application does to its windows (the layers below report to its
// presenter instead). Controls are addressed by their resource IDs (app/resource_ids.h) on the
// main dialog unless a call names another window. The presenter's reports may come on a worker
// thread: on Windows the calls act on the real controls from any thread and
// SendToDialog is SendMessageW; the headless view used by the tests keeps the same contract and
// hands synchronous messages to the dialog's thread.
#pragma once

#include <string>

#include "platform/device_discovery.h"
#include "platform/types.h"

namespace veltra {

// Message box styles and answers (the Win32 values).
constexpr std::uint32_t kMbOk = 0x0;
constexpr std::uint32_t kMbYesNo = 0x4;
constexpr std::uint32_t kMbIconError = 0x10;
constexpr std::uint32_t kMbIconWarning = 0x30;  // MB_ICONEXCLAMATION / MB_ICONWARNING
constexpr std::uint32_t kMbIconExclamation = 0x30;
constexpr std::uint32_t kMbTopmost = 0x40000;
constexpr int kIdOk = 1;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Which window a call is about, where it is not the main dialog.
enum class Window {
  kMainDialog,
  kMainWindow,
  kConfirmDialog,  // dialog 130
  kWarnDialog,     // dialog 143 or 144, whichever is on screen
};

// The open-file dialog request (GetOpenFileNameW).
struct OpenFileRequest {
  bool binFirst = false;    // "Binary Files (*.BIN)" listed (and preselected) first
  std::uint32_t flags = 0;  // OFN_* flags
};

class DialogView {
 public:
  virtual ~DialogView() = default;

  // Controls of the main dialog.
  virtual void SetItemText(int id, const wchar_t* text) = 0;
  virtual std::wstring GetItemText(int id) = 0;
  virtual void ShowItem(int id, bool show) = 0;
  virtual void EnableItem(int id, bool enable) = 0;
  // A control of another window (the Warning dialog's OK button). No effect when it is not open.
  virtual void EnableWindowItem(Window window, int id, bool enable) = 0;

  // The device list (combo box 1012).
  virtual void ComboReset() = 0;
  virtual int ComboAddString(const wchar_t* text) = 0;
  virtual int ComboSetCurSel(int index) = 0;  // CB_ERR (-1) when out of range
  virtual int ComboGetCurSel() = 0;           // -1 when nothing is selected

  // Progress bar 1003 (PBM_SETPOS; the control clamps to its range 0..100).
  virtual void ProgressSetPos(int position) = 0;

  // Timers owned by the main dialog.
  virtual void SetTimer(int id, std::uint32_t periodMs) = 0;
  virtual void KillTimer(int id) = 0;

  // Message box; owned by the main dialog unless owned is false (no owner window). Returns the
  // button pressed (kIdOk, kIdYes, kIdNo).
  virtual int MessageBox(const wchar_t* text, const wchar_t* caption, std::uint32_t style,
                         bool owned = true) = 0;

  // GetOpenFileNameW. Returns true when the user chose a file; path and title are cut to fit.
  virtual bool OpenFileDialog(const OpenFileRequest& request, wchar_t* path, std::size_t pathChars,
                              wchar_t* title, std::size_t titleChars) = 0;

  // SendMessageW to the main dialog: the caller waits until the dialog has handled it.
  virtual std::intptr_t SendToDialog(std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t lParam) = 0;

  // PostMessageW to the main dialog: the dialog handles it once the handling under way (a list
  // rebuild, a notification) is over, on its own thread; the caller does not wait. A view
  // without a message queue of its own handles it at once.
  virtual void PostToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    SendToDialog(message, wParam, lParam);
  }

  // Modal dialogs by resource ID over the main dialog; returns the EndDialog result.
  virtual std::intptr_t DialogBoxModal(int dialogId) = 0;
  // EndDialog on the named window, when it is open.
  virtual void EndDialog(Window window, std::intptr_t result) = 0;

  // SetForegroundWindow.
  virtual void SetForeground(Window window) = 0;

  // Waits up to timeoutMs for a thread of the program to end while the dialog thread goes on
  // handling its messages: a thread that waits on the dialog (a message box the dialog owns, a
  // control it asks) can then finish instead of both waiting on each other. Returns kWaitObject0
  // when the thread ended, kWaitTimeout when it did not. Called on the dialog thread. The
  // default is a plain wait, for views without a message loop.
  virtual std::uint32_t WaitThreadPumping(Handle thread, std::uint32_t timeoutMs);

  // ---- start-up and shut-down of the main dialog (default: nothing to do) ----
  // RegisterDeviceNotificationW for the main dialog and one device-interface class. False when
  // the registration was refused.
  virtual bool RegisterDeviceNotification(DeviceInterfaceClass cls) { return true; }
  // Loads a 32 x 32 icon from a file (looked up relative to the current directory) and makes it
  // the dialog's small icon; a missing file leaves the class icon.
  virtual void SetSmallIconFromFile(const wchar_t* fileName) {}
  // Ends the program from the dialog thread: uninitialises COM and destroys the main window, whose
  // WM_DESTROY posts the quit message that ends the message loop.
  virtual void EndProgram() {}
};

}  // namespace veltra
