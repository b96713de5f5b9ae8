// A headless DialogView for tests: what Windows' dialog manager does, and no more. It delivers
// messages on the dialog thread, runs the timers on the program's clock, answers message boxes and
// the open-file dialog from a script, runs modal dialogs, and records the boxes shown, the modal
// dialogs and every message sent to the dialog. What the controls show is kept by the
// application's ShownControls (app/shown_controls.h) in front of it; the list box here only counts
// its entries and holds its selection, the two things a combo box answers with.
//
// The thread that installs the dialog procedure (the test's) is the dialog thread: a message sent
// from it runs the procedure directly, a message sent from another thread waits until the dialog
// thread pumps (Pump, PumpUntil, or while it waits in a held modal dialog). Every wait is bounded
// in real time so that a wrong test fails instead of hanging. Without a procedure messages are
// only recorded.
//
// Timers run on the program's clock: SetTimer notes when a timer is due, and the test fires it
// (FireDueTimers) on the dialog thread.
//
// Modal dialogs: a dialog with a procedure (SetModalProc) receives WM_INITDIALOG when it opens and
// then the scripted messages queued for it (QueueModalCommand, QueueModalClose); it returns the
// result its procedure gave EndDialog. A held dialog (HoldModal) that is still open after that
// stays open until EndDialog names it from any thread; any other returns 1 at once.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/dialog_view.h"

namespace veltra::test {

class HeadlessDialog : public DialogView {
 public:
  struct ShownBox {
    std::wstring text;
    std::wstring caption;
    std::uint32_t style = 0;
    bool owned = true;
    // Shown on the dialog thread while the device list was being rebuilt (emptied and not yet
    // given its selection): on Windows the box's modal loop would let a nested device
    // notification rebuild the list under the rebuild.
    bool duringListRebuild = false;
  };
  struct SentMessage {
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
  };
  using DialogProc = std::function<std::intptr_t(std::uint32_t, std::uintptr_t, std::intptr_t)>;

  // Real-time bound of every wait (sent messages, held modal dialogs, PumpUntil).
  static constexpr std::chrono::milliseconds kWaitLimit{10000};

  HeadlessDialog() = default;
  HeadlessDialog(const HeadlessDialog&) = delete;
  HeadlessDialog& operator=(const HeadlessDialog&) = delete;

  // ---- DialogView ----
  // A control of the dialog is a window of the dialog thread: what another thread asks of it
  // (WM_SETTEXT, WM_ENABLE, ShowWindow, CB_..., PBM_SETPOS) waits until the dialog thread pumps.
  void SetItemText(int, const wchar_t*) override { ToAControl(); }
  std::wstring GetItemText(int) override {
    ToAControl();
    return {};
  }
  void ShowItem(int, bool) override { ToAControl(); }
  void EnableItem(int, bool) override { ToAControl(); }
  void EnableWindowItem(Window, int, bool) override {}
  // The list box answers with its entries' count and its selection; the rebuild is noted for
  // ShownBox::duringListRebuild.
  void ComboReset() override {
    Sent([&] { comboCount_ = 0, comboSel_ = -1, listRebuilding_ = OnDialogThread(); });
  }
  int ComboAddString(const wchar_t*) override {
    return Sent([&] { return comboCount_++; });
  }
  int ComboSetCurSel(int index) override {
    return Sent([&] {
      listRebuilding_ = false;
      return comboSel_ = index >= 0 && index < comboCount_ ? index : -1;
    });
  }
  int ComboGetCurSel() override {
    return Sent([&] { return comboSel_; });
  }
  void ProgressSetPos(int) override { ToAControl(); }
  // The adapter sends a timer's setting and killing to the dialog thread, as a timer must be set
  // by the thread that owns its window.
  void SetTimer(int id, std::uint32_t periodMs) override;
  void KillTimer(int id) override {
    Sent([&] { timers_.erase(id); });
  }
  int MessageBox(const wchar_t* text, const wchar_t* caption, std::uint32_t style,
                 bool owned) override;
  bool OpenFileDialog(const OpenFileRequest& request, wchar_t* path, std::size_t pathChars,
                      wchar_t* title, std::size_t titleChars) override;
  std::intptr_t SendToDialog(std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override;
  // PostMessageW: queued for the dialog thread's next Pump, from any thread, the dialog
  // thread's own included; nobody waits for it.
  void PostToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
  std::intptr_t DialogBoxModal(int dialogId) override;
  void EndDialog(Window window, std::intptr_t result) override;
  void SetForeground(Window) override {}
  // Pumps (as Pump does) until the thread has ended, then joins it.
  std::uint32_t WaitThreadPumping(Handle thread, std::uint32_t timeoutMs) override;
  bool RegisterDeviceNotification(DeviceInterfaceClass cls) override {
    return Locked([&] { return refused_.count(cls) == 0; });
  }
  void SetSmallIconFromFile(const wchar_t*) override {}
  void EndProgram() override {
    Locked([&] { programEnded_ = true; });
  }

  // ---- script ----
  // Answers for the next message boxes, in order; when none is queued a box is answered kIdOk
  // (kIdYes for a yes/no box).
  void QueueMessageBoxAnswer(int answer) {
    Locked([&] { answers_.push_back(answer); });
  }
  // The next open-file dialog returns this full path (nullopt: the user cancels).
  void QueueOpenFile(std::optional<std::wstring> fullPath) {
    Locked([&] { files_.push_back(std::move(fullPath)); });
  }
  // The calling thread becomes the dialog thread, as the thread that creates a dialog owns it.
  void SetDialogProc(DialogProc proc) {
    Locked([&] { proc_ = std::move(proc), dialogThread_ = std::this_thread::get_id(); });
  }
  // The procedure of one modal dialog, by its resource ID.
  void SetModalProc(int dialogId, DialogProc proc) {
    Locked([&] { modalProcs_[dialogId] = std::move(proc); });
  }
  // Scripted user actions on the next opening of a modal dialog: a press of a control, the close
  // box.
  void QueueModalCommand(int dialogId, int controlId);
  void QueueModalClose(int dialogId);
  // Keeps the dialog open until EndDialog names it (bounded by kWaitLimit).
  void HoldModal(int dialogId, bool hold = true) {
    Locked([&] { hold ? void(held_.insert(dialogId)) : void(held_.erase(dialogId)); });
  }
  // The registration of device notifications for this class is refused.
  void RefuseNotification(DeviceInterfaceClass cls) {
    Locked([&] { refused_.insert(cls); });
  }

  // ---- the dialog thread ----
  // Runs the dialog procedure with one message on the calling thread (the dialog thread).
  std::intptr_t Dispatch(std::uint32_t message, std::uintptr_t wParam = 0,
                         std::intptr_t lParam = 0) {
    const DialogProc proc = Get(proc_);
    const std::intptr_t result = proc ? proc(message, wParam, lParam) : 0;
    Locked([&] { listRebuilding_ = false; });  // the handling of the message is over
    return result;
  }
  // Handles the messages other threads have sent so far. Returns how many.
  int Pump();
  // Pumps until done() holds; false when kWaitLimit (or limit) passed first.
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = kWaitLimit);
  // Fires every running timer that is due on the program's clock, earliest first, once each.
  // Returns how many fired.
  int FireDueTimers();
  // When the earliest running timer is due on the program's clock, if one runs.
  std::optional<std::uint64_t> NextTimerDue() const;

  // ---- inspection ----
  bool TimerRunning(int id) const { return Get(timers_).count(id) != 0; }
  std::uint32_t TimerPeriod(int id) const;
  std::vector<ShownBox> MessageBoxes() const { return Get(boxes_); }
  std::vector<SentMessage> Messages() const { return Get(messages_); }
  std::vector<int> ModalDialogsOpened() const { return Get(modals_); }
  // Opened and not yet ended (its DialogBoxModal may still be on its way out).
  bool IsModalOpen(int dialogId) const;
  std::vector<OpenFileRequest> FileRequests() const { return Get(fileRequests_); }
  std::vector<std::pair<Window, std::intptr_t>> EndedDialogs() const { return Get(ended_); }
  bool ProgramEnded() const { return Get(programEnded_); }
  // Waits that ran into kWaitLimit: each one is a test that went wrong.
  int TimedOutWaits() const { return Get(timedOut_); }
  void ClearRecords() {
    Lock lock(mutex_);
    boxes_.clear(), messages_.clear(), modals_.clear(), ended_.clear(), fileRequests_.clear();
  }

 private:
  struct Timer {
    std::uint32_t period = 0;
    std::uint64_t due = 0;
  };
  struct Pending {
    SentMessage message;
    bool handledByWindows = false;  // a message the system answers itself: no procedure sees it
    bool done = false;
    std::intptr_t result = 0;
  };
  struct OpenModal {
    int dialogId = 0;
    bool ended = false;
    bool initialised = false;  // WM_INITDIALOG has been handled: the dialog is on screen
    std::intptr_t result = 0;
  };
  using Lock = std::unique_lock<std::recursive_mutex>;

  template <typename F>
  auto Locked(F&& f) -> decltype(f()) {
    Lock lock(mutex_);
    return f();
  }
  // From another thread, after the dialog thread has pumped.
  template <typename F>
  auto Sent(F&& f) -> decltype(f()) {
    Lock lock(mutex_);
    WaitForTheDialogThread(lock);
    return f();
  }
  template <typename T>
  T Get(const T& field) const {
    Lock lock(mutex_);
    return field;
  }
  void ToAControl() {
    Lock lock(mutex_);
    WaitForTheDialogThread(lock);
  }
  static std::wstring Str(const wchar_t* text) { return text == nullptr ? L"" : text; }
  bool OnDialogThread() const;
  // From another thread, waits (bounded) until the dialog thread pumps: what Windows does for a
  // message it sends to a window of another thread.
  void WaitForTheDialogThread(Lock& lock);
  bool FireTimer(int id);
  static std::uint64_t Now();
  static bool Matches(Window window, int dialogId);

  mutable std::recursive_mutex mutex_;
  std::condition_variable_any changed_;  // a sent message queued or handled, a dialog ended
  std::thread::id dialogThread_;
  int comboCount_ = 0;
  int comboSel_ = -1;
  bool listRebuilding_ = false;  // see ShownBox::duringListRebuild
  std::map<int, Timer> timers_;
  std::vector<ShownBox> boxes_;
  std::deque<int> answers_;
  std::deque<std::optional<std::wstring>> files_;
  std::vector<OpenFileRequest> fileRequests_;
  std::vector<SentMessage> messages_;
  std::deque<std::shared_ptr<Pending>> pending_;
  std::vector<int> modals_;
  std::vector<std::shared_ptr<OpenModal>> open_;
  std::map<int, DialogProc> modalProcs_;
  std::map<int, std::deque<SentMessage>> modalScript_;
  std::set<int> held_;
  std::vector<std::pair<Window, std::intptr_t>> ended_;
  std::set<DeviceInterfaceClass> refused_;
  bool programEnded_ = false;
  int timedOut_ = 0;
  DialogProc proc_;
};

}  // namespace veltra::test
