#include "support/headless_dialog.h"

#include <algorithm>

#include "core/text.h"
#include "platform/ports.h"

namespace veltra::test {

namespace {
constexpr std::uint32_t kWmClose = 0x0010;
constexpr std::uint32_t kWmInitDialog = 0x0110;
constexpr std::uint32_t kWmCommand = 0x0111;
constexpr std::uint32_t kWmTimer = 0x0113;
constexpr int kConfirmDialogId = 130;
constexpr int kWarningDialogId = 143;
constexpr int kErrorDialogId = 144;
// How long the pumping loops sleep between looks when nothing was sent.
constexpr std::chrono::milliseconds kPumpNap{1};
}  // namespace

// ---- timers ------------------------------------------------------------------------------------

std::uint64_t HeadlessDialog::Now() {
  return ports().system != nullptr ? Sys().NowMs() : 0;
}

void HeadlessDialog::SetTimer(int id, std::uint32_t periodMs) {
  Sent([&] { timers_[id] = Timer{periodMs, Now() + periodMs}; });
}

bool HeadlessDialog::FireTimer(int id) {
  DialogProc proc;
  {
    Lock lock(mutex_);
    auto it = timers_.find(id);
    if (it == timers_.end()) {
      return false;
    }
    it->second.due = Now() + it->second.period;
    proc = proc_;
  }
  if (proc) {
    proc(kWmTimer, static_cast<std::uintptr_t>(id), 0);
  }
  return true;
}

int HeadlessDialog::FireDueTimers() {
  std::vector<std::pair<std::uint64_t, int>> due;
  {
    const std::uint64_t now = Now();
    Lock lock(mutex_);
    for (const auto& [id, timer] : timers_) {
      if (timer.due <= now) {
        due.emplace_back(timer.due, id);
      }
    }
  }
  std::sort(due.begin(), due.end());
  int fired = 0;
  // A timer killed by an earlier one's handler does not fire.
  for (const auto& entry : due) {
    fired += FireTimer(entry.second) ? 1 : 0;
  }
  return fired;
}

std::optional<std::uint64_t> HeadlessDialog::NextTimerDue() const {
  Lock lock(mutex_);
  std::optional<std::uint64_t> next;
  for (const auto& entry : timers_) {
    if (!next || entry.second.due < *next) {
      next = entry.second.due;
    }
  }
  return next;
}

// ---- boxes and files ---------------------------------------------------------------------------

int HeadlessDialog::MessageBox(const wchar_t* text, const wchar_t* caption, std::uint32_t style,
                               bool owned) {
  Lock lock(mutex_);
  // A box owned by the dialog disables its owner first (a message sent to it): shown from
  // another thread it waits for the dialog thread.
  if (owned) {
    WaitForTheDialogThread(lock);
  }
  boxes_.push_back(
      ShownBox{Str(text), Str(caption), style, owned, OnDialogThread() && listRebuilding_});
  if (!answers_.empty()) {
    const int answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  return (style & 0xF) == kMbYesNo ? kIdYes : kIdOk;
}

bool HeadlessDialog::OpenFileDialog(const OpenFileRequest& request, wchar_t* path,
                                    std::size_t pathChars, wchar_t* title, std::size_t titleChars) {
  Lock lock(mutex_);
  fileRequests_.push_back(request);
  std::optional<std::wstring> answer;
  if (!files_.empty()) {
    answer = files_.front();
    files_.pop_front();
  }
  if (!answer) {
    return false;  // nothing queued, or the user cancels
  }
  const std::wstring& full = *answer;
  CopyText(path, pathChars, full.c_str());
  const auto cut = full.find_last_of(L"\\/");
  CopyText(title, titleChars, cut == std::wstring::npos ? full.c_str() : full.c_str() + cut + 1);
  return true;
}

// ---- messages to the dialog --------------------------------------------------------------------

bool HeadlessDialog::OnDialogThread() const {
  return dialogThread_ != std::thread::id() && dialogThread_ == std::this_thread::get_id();
}

std::intptr_t HeadlessDialog::SendToDialog(std::uint32_t message, std::uintptr_t wParam,
                                           std::intptr_t lParam) {
  Lock lock(mutex_);
  messages_.push_back(SentMessage{message, wParam, lParam});
  const DialogProc proc = proc_;
  if (!proc) {
    return 0;
  }
  if (OnDialogThread()) {
    lock.unlock();
    return proc(message, wParam, lParam);  // the dialog thread may re-enter, as on Windows
  }
  // Another thread: wait until the dialog thread has handled it.
  auto pending = std::make_shared<Pending>();
  pending->message = SentMessage{message, wParam, lParam};
  pending_.push_back(pending);
  changed_.notify_all();
  if (!changed_.wait_for(lock, kWaitLimit, [&] { return pending->done; })) {
    pending_.erase(std::remove(pending_.begin(), pending_.end(), pending), pending_.end());
    ++timedOut_;
    return 0;
  }
  return pending->result;
}

void HeadlessDialog::PostToDialog(std::uint32_t message, std::uintptr_t wParam,
                                  std::intptr_t lParam) {
  Lock lock(mutex_);
  messages_.push_back(SentMessage{message, wParam, lParam});
  auto pending = std::make_shared<Pending>();
  pending->message = SentMessage{message, wParam, lParam};
  pending_.push_back(pending);
  changed_.notify_all();
}

void HeadlessDialog::WaitForTheDialogThread(Lock& lock) {
  if (!proc_ || OnDialogThread()) {
    return;
  }
  auto pending = std::make_shared<Pending>();
  pending->handledByWindows = true;
  pending_.push_back(pending);
  changed_.notify_all();
  if (!changed_.wait_for(lock, kWaitLimit, [&] { return pending->done; })) {
    pending_.erase(std::remove(pending_.begin(), pending_.end(), pending), pending_.end());
    ++timedOut_;
  }
}

std::uint32_t HeadlessDialog::WaitThreadPumping(Handle thread, std::uint32_t /*timeoutMs*/) {
  // The bench's threads end on their own; the bound is the real-time one of every wait here.
  if (!PumpUntil([thread] { return Sys().ThreadExitCode(thread) != kStillActive; })) {
    return kWaitTimeout;
  }
  return Sys().WaitThread(thread, 0);  // joins the ended thread
}

int HeadlessDialog::Pump() {
  int handled = 0;
  for (;;) {
    std::shared_ptr<Pending> next;
    DialogProc proc;
    {
      Lock lock(mutex_);
      if (pending_.empty()) {
        return handled;
      }
      next = pending_.front();
      pending_.pop_front();
      proc = proc_;
    }
    const std::intptr_t result =
        proc && !next->handledByWindows
            ? proc(next->message.message, next->message.wParam, next->message.lParam)
            : 0;
    {
      Lock lock(mutex_);
      next->result = result;
      next->done = true;
      listRebuilding_ = false;
    }
    changed_.notify_all();
    ++handled;
  }
}

bool HeadlessDialog::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    Pump();
    if (done()) {
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      Lock lock(mutex_);
      ++timedOut_;
      return false;
    }
    Lock lock(mutex_);
    changed_.wait_for(lock, kPumpNap, [&] { return !pending_.empty(); });
  }
}

// ---- modal dialogs -----------------------------------------------------------------------------

bool HeadlessDialog::Matches(Window window, int dialogId) {
  switch (window) {
    case Window::kConfirmDialog:
      return dialogId == kConfirmDialogId;
    case Window::kWarnDialog:
      return dialogId == kWarningDialogId || dialogId == kErrorDialogId;
    default:
      return false;
  }
}

std::intptr_t HeadlessDialog::DialogBoxModal(int dialogId) {
  auto record = std::make_shared<OpenModal>();
  record->dialogId = dialogId;
  DialogProc proc;
  std::deque<SentMessage> script;
  bool held = false;
  {
    Lock lock(mutex_);
    modals_.push_back(dialogId);
    open_.push_back(record);
    auto procIt = modalProcs_.find(dialogId);
    if (procIt != modalProcs_.end()) {
      proc = procIt->second;
    }
    auto scriptIt = modalScript_.find(dialogId);
    if (scriptIt != modalScript_.end()) {
      script.swap(scriptIt->second);
      modalScript_.erase(scriptIt);
    }
    held = held_.count(dialogId) != 0;
  }
  auto ended = [&] {
    Lock lock(mutex_);
    return record->ended;
  };

  if (proc) {
    proc(kWmInitDialog, 0, 0);
  }
  {
    Lock lock(mutex_);
    record->initialised = true;
  }
  for (const SentMessage& action : script) {
    if (ended()) {
      break;
    }
    if (proc) {
      proc(action.message, action.wParam, action.lParam);
    }
  }

  std::intptr_t result = 0;
  if (ended()) {
    Lock lock(mutex_);
    result = record->result;
  } else if (held) {
    const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
    const bool pumps = OnDialogThread();
    for (;;) {
      // A modal loop on the dialog thread keeps serving the messages other threads send.
      if (pumps) {
        Pump();
      }
      Lock lock(mutex_);
      if (record->ended) {
        result = record->result;
        break;
      }
      if (std::chrono::steady_clock::now() >= deadline) {
        ++timedOut_;
        result = -1;  // nobody ended it within the bound
        break;
      }
      changed_.wait_for(lock, kPumpNap, [&] { return record->ended || !pending_.empty(); });
    }
  } else {
    result = 1;
  }

  Lock lock(mutex_);
  open_.erase(std::remove(open_.begin(), open_.end(), record), open_.end());
  changed_.notify_all();
  return result;
}

void HeadlessDialog::EndDialog(Window window, std::intptr_t result) {
  Lock lock(mutex_);
  ended_.emplace_back(window, result);
  for (auto it = open_.rbegin(); it != open_.rend(); ++it) {
    if (!(*it)->ended && Matches(window, (*it)->dialogId)) {
      (*it)->ended = true;
      (*it)->result = result;
      break;
    }
  }
  changed_.notify_all();
}

void HeadlessDialog::QueueModalCommand(int dialogId, int controlId) {
  const auto id = static_cast<std::uintptr_t>(controlId & 0xFFFF);
  Locked([&] { modalScript_[dialogId].push_back(SentMessage{kWmCommand, id, 0}); });
}

void HeadlessDialog::QueueModalClose(int dialogId) {
  Locked([&] { modalScript_[dialogId].push_back(SentMessage{kWmClose, 0, 0}); });
}

std::uint32_t HeadlessDialog::TimerPeriod(int id) const {
  Lock lock(mutex_);
  auto it = timers_.find(id);
  return it == timers_.end() ? 0 : it->second.period;
}

bool HeadlessDialog::IsModalOpen(int dialogId) const {
  Lock lock(mutex_);
  return std::any_of(open_.begin(), open_.end(), [dialogId](const auto& modal) {
    // A dialog counts as open once its initialisation has run, as a window is only on screen
    // after WM_INITDIALOG; a test waiting for it then sees its timers and handles set.
    return modal->dialogId == dialogId && modal->initialised && !modal->ended;
  });
}

}  // namespace veltra::test
