// The console face of the program's main dialog, without a window: the program's own dialog
// procedures run against it as they run against the window on Windows. It keeps no controls: the
// application's ShownControls stands in front of it as the dialog port, and the controls are read
// there (the list box here only answers with its entries' count and its selection, as the control
// does). veltra-update.exe updates cameras through it, and so do veltra-bench, veltra-update's
// bench build and the benchmarks. The thread that makes it is the dialog thread; a message another
// thread sends waits until that thread pumps (Settle), as SendMessageW does. It prints what a
// person watching the window would notice (the blinking notices, the status line's changes, message
// boxes, modal dialogs) and plays that person's part: it chooses the file it was given in the
// open-file dialog, presses OK in the confirmation dialog, answers message boxes with OK (Yes to a
// question) and presses the Warning dialog's OK as soon as it is enabled.
//
// Timers run on the program's clock, which the host gives (dialog_host.h). A timer that guards a
// wait (the Warning dialog's three minutes) is fired by Settle when nothing else is left to
// happen: the bench's clock jumps to it, the real clock is waited on.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "app/shown_controls.h"
#include "console/dialog_host.h"
#include "platform/dialog_view.h"

namespace veltra::console {

// ASCII rendering of the program's UTF-16 texts, line breaks shown as " / ".
std::string Printable(const std::wstring& text);

// What the program told of an update, from the message boxes it showed and the modal dialogs it
// opened since the update began: an Error box is a failure; a Success box, or the Warning dialog
// of a camera that finishes its update on its own, a success; the note that the write could not
// be confirmed, a write the camera's flash must settle.
enum class ProgramSaid { kFailed, kSucceeded, kUnconfirmed };

class ConsoleDialog : public DialogView {
 public:
  struct Box {
    std::wstring caption;
    std::wstring text;
  };

  // quiet: print only message boxes and modal dialogs.
  ConsoleDialog(std::ostream& out, bool quiet, DialogHost& host);
  ConsoleDialog(const ConsoleDialog&) = delete;
  ConsoleDialog& operator=(const ConsoleDialog&) = delete;

  // The file the open-file dialog returns (a path, UTF-8).
  void SetChosenFile(const std::string& hostPath) { chosen_ = hostPath; }
  // Watches the controls the program shows in front of this dialog (the dialog port) for the
  // status line's changes, which it prints and tells. shown outlives the watch.
  void Watch(ShownControls& shown);
  // Told every new text of the status line, from whichever thread writes it (one at a time);
  // empty: nobody is told.
  using StatusListener = std::function<void(const std::wstring& text)>;
  void SetStatusListener(StatusListener listener);

  // Runs the main dialog procedure with one message on the dialog thread.
  std::intptr_t Dispatch(std::uint32_t message, std::uintptr_t wParam = 0,
                         std::intptr_t lParam = 0);
  // Serves the program's threads until nothing is left to do, and hands the dialog every device
  // change the host reports. False when the program did not come to rest in time.
  bool Settle();

  std::vector<Box> Boxes() const;
  std::vector<int> ModalsOpened() const;

  // ---- DialogView ----
  void SetItemText(int, const wchar_t*) override {}
  std::wstring GetItemText(int) override { return {}; }
  void ShowItem(int, bool) override {}
  void EnableItem(int, bool) override {}
  void EnableWindowItem(Window window, int id, bool enable) override;
  void ComboReset() override;
  int ComboAddString(const wchar_t* text) override;
  int ComboSetCurSel(int index) override;
  int ComboGetCurSel() override;
  void ProgressSetPos(int) override {}
  void SetTimer(int id, std::uint32_t periodMs) override;
  void KillTimer(int id) override;
  int MessageBox(const wchar_t* text, const wchar_t* caption, std::uint32_t style,
                 bool owned) override;
  bool OpenFileDialog(const OpenFileRequest& request, wchar_t* path, std::size_t pathChars,
                      wchar_t* title, std::size_t titleChars) override;
  std::intptr_t SendToDialog(std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override;
  // Queued for the dialog thread's next pump, from any thread; nobody waits for it.
  void PostToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
  std::intptr_t DialogBoxModal(int dialogId) override;
  void EndDialog(Window window, std::intptr_t result) override;
  void SetForeground(Window window) override;
  std::uint32_t WaitThreadPumping(Handle thread, std::uint32_t timeoutMs) override;
  bool RegisterDeviceNotification(DeviceInterfaceClass cls) override;

 private:
  struct Pending {
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    bool done = false;
    std::intptr_t result = 0;
  };
  struct Modal {
    int id = 0;
    bool ended = false;
    bool okEnabled = true;
    std::intptr_t result = 0;
  };
  using Lock = std::unique_lock<std::recursive_mutex>;

  void Print(const std::string& line, bool always = false);
  // A new text of the status line; headline: the text shown above it ("Updating Firmware..").
  void OnStatus(const std::wstring& text, const std::wstring& headline);
  // Queues a message for the dialog thread's pump and wakes whoever waits for one.
  std::shared_ptr<Pending> Enqueue(std::uint32_t message, std::uintptr_t wParam,
                                   std::intptr_t lParam);
  int Pump();
  bool OnDialogThread() const { return std::this_thread::get_id() == dialogThread_; }
  std::shared_ptr<Modal> OpenModal(Window window) const;
  bool ModalOpen(int id) const;
  // Fires the Warning dialog's timeout when it is the one thing left; false when none runs.
  bool FireWaitingTimer();

  std::ostream& out_;
  bool quiet_;
  DialogHost& host_;
  std::string chosen_;
  StatusListener statusListener_;
  std::thread::id dialogThread_;
  mutable std::recursive_mutex mutex_;
  std::condition_variable_any changed_;
  std::map<int, std::uint64_t> timers_;  // id -> when due on the program's clock
  std::uint32_t eraseBlocks_ = 0;        // the erase start's total, shown with its notice
  int comboCount_ = 0;
  int comboSel_ = -1;
  std::vector<Box> boxes_;
  std::vector<int> modalsOpened_;
  std::vector<std::shared_ptr<Modal>> modals_;
  std::deque<std::shared_ptr<Pending>> pending_;
};

ProgramSaid WhatTheProgramSaid(const std::vector<ConsoleDialog::Box>& boxes,
                               const std::vector<int>& modalsOpened);

}  // namespace veltra::console
