#include "console/console_dialog.h"

#include <algorithm>
#include <chrono>

#include "app/dialog_procedures.h"
#include "app/resource_ids.h"
#include "console/device_text.h"
#include "core/ui_texts.h"
#include "core/update_controller.h"
#include "core/window_messages.h"
#include "platform/ports.h"

namespace veltra::console {

namespace {

// The windows' handles as the dialog procedures see them (any distinct non-zero values).
constexpr Handle kMainDialog = 0x129;
constexpr Handle kModalDialogBase = 0x1000;
// The Error dialog's OK (IDOK).
constexpr int kErrorDialogOk = 1;
// Real-time bounds: a wrong turn of the program ends the run instead of hanging it (the wait for
// the program to come to rest is the host's).
constexpr std::chrono::seconds kSendLimit{30};
constexpr std::chrono::milliseconds kPumpNap{1};

const char* ModalName(int id) {
  switch (id) {
    case IDD_CONFIRM_DIALOG:
      return "Confirm dialog";
    case IDD_WARNING_DIALOG:
      return "Warning dialog";
    case IDD_ERROR_DIALOG:
      return "Error dialog";
    default:
      return "dialog";
  }
}

bool Matches(Window window, int id) {
  switch (window) {
    case Window::kConfirmDialog:
      return id == IDD_CONFIRM_DIALOG;
    case Window::kWarnDialog:
      return id == IDD_WARNING_DIALOG || id == IDD_ERROR_DIALOG;
    default:
      return false;
  }
}

// Copies text into a buffer of chars characters, cut to fit and always terminated.
void CopyBounded(const std::wstring& text, wchar_t* buffer, std::size_t chars) {
  if (buffer == nullptr || chars == 0) {
    return;
  }
  const std::size_t n = std::min(text.size(), chars - 1);
  std::copy_n(text.begin(), n, buffer);
  buffer[n] = L'\0';
}

}  // namespace

std::string Printable(const std::wstring& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
      continue;
    }
    if (c == L'\n' || c == L'\r') {
      out += " / ";
    } else if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('?');
    }
  }
  return out;
}

ConsoleDialog::ConsoleDialog(std::ostream& out, bool quiet, DialogHost& host)
    : out_(out), quiet_(quiet), host_(host), dialogThread_(std::this_thread::get_id()) {}

void ConsoleDialog::Print(const std::string& line, bool always) {
  if (quiet_ && !always) {
    return;
  }
  out_ << "  | " << line << '\n';
}

std::intptr_t ConsoleDialog::Dispatch(std::uint32_t message, std::uintptr_t wParam,
                                      std::intptr_t lParam) {
  if (message == WM_APP_ERASE_START) {
    Lock lock(mutex_);
    eraseBlocks_ = static_cast<std::uint32_t>(wParam);
  }
  return MainDialogProc(kMainDialog, message, wParam, lParam);
}

int ConsoleDialog::Pump() {
  int handled = 0;
  for (;;) {
    std::shared_ptr<Pending> next;
    {
      Lock lock(mutex_);
      if (pending_.empty()) {
        return handled;
      }
      next = pending_.front();
      pending_.pop_front();
    }
    const std::intptr_t result = Dispatch(next->message, next->wParam, next->lParam);
    {
      Lock lock(mutex_);
      next->result = result;
      next->done = true;
    }
    changed_.notify_all();
    ++handled;
  }
}

bool ConsoleDialog::Settle() {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(host_.RestLimitMs());
  // The refresher thread stays for the program's life, and a worker showing the Warning dialog
  // waits for the camera or the dialog's timeout; every other thread of the program is waited for.
  const auto idle = [&] {
    const int staying = (Controller().Refresher().hUIThread != kNullHandle ? 1 : 0) +
                        (ModalOpen(IDD_WARNING_DIALOG) ? 1 : 0);
    return host_.RunningThreads() <= staying;
  };
  std::deque<DeviceChange> changes;
  for (;;) {
    for (;;) {
      Pump();
      if (idle()) {
        break;
      }
      if (std::chrono::steady_clock::now() >= deadline) {
        return false;
      }
      {
        Lock lock(mutex_);
        changed_.wait_for(lock, kPumpNap, [&] { return !pending_.empty(); });
      }
      // Taken while the program works, so that the host's queue is served; handed to the dialog
      // only once it is at rest, in the order they came.
      host_.TakeDeviceChanges(&changes);
    }
    // What a thread posted just before it ended is handled before anything else.
    if (Pump() > 0) {
      continue;
    }
    host_.TakeDeviceChanges(&changes);
    if (changes.empty()) {
      if (FireWaitingTimer()) {
        continue;
      }
      return true;
    }
    DeviceChange change = changes.front();
    changes.pop_front();
    Dispatch(kWmDeviceChange, change.event, reinterpret_cast<std::intptr_t>(&change));
  }
}

bool ConsoleDialog::FireWaitingTimer() {
  std::uint64_t due = 0;
  {
    Lock lock(mutex_);
    const auto timer = timers_.find(IDT_WARNING_TIMEOUT);
    if (timer == timers_.end() || !ModalOpen(IDD_WARNING_DIALOG)) {
      return false;
    }
    due = timer->second;
  }
  const std::uint64_t now = host_.NowMs();
  if (due > now) {
    host_.WaitUntil(due);
    if (host_.NowMs() < due) {
      return true;  // the real clock: something may have come meanwhile; look again
    }
  }
  Print("(nothing happens: the Warning dialog's timer runs out " +
            std::to_string((due > now ? due - now : 0) / 1000) + " s later on the program's clock)",
        true);
  Dispatch(kWmTimer, IDT_WARNING_TIMEOUT);
  return true;
}

std::vector<ConsoleDialog::Box> ConsoleDialog::Boxes() const {
  Lock lock(mutex_);
  return boxes_;
}

std::vector<int> ConsoleDialog::ModalsOpened() const {
  Lock lock(mutex_);
  return modalsOpened_;
}

// ---- controls
// ------------------------------------------------------------------------------------

void ConsoleDialog::Watch(ShownControls& shown) {
  shown.SetTextListener([this, &shown](int id, const std::wstring& text) {
    if (id == IDC_STATIC_STATUS && !text.empty()) {
      OnStatus(text, shown.Item(IDC_STATIC_UPDATING).text);
    }
  });
}

void ConsoleDialog::OnStatus(const std::wstring& text, const std::wstring& headline) {
  Lock lock(mutex_);
  std::string line = Printable(text);
  if (text.back() == L'%') {
    // A percentage shows under the "Updating Firmware.." headline.
    line = Printable(headline) + " " + line;
  } else if (eraseBlocks_ != 0 && text == kTextErasing) {
    line += " (" + std::to_string(eraseBlocks_) + " blocks)";
    eraseBlocks_ = 0;
  }
  Print(line);
  if (statusListener_) {
    statusListener_(text);
  }
}

void ConsoleDialog::SetStatusListener(StatusListener listener) {
  Lock lock(mutex_);
  statusListener_ = std::move(listener);
}

void ConsoleDialog::EnableWindowItem(Window window, int id, bool enable) {
  Lock lock(mutex_);
  if (id != IDC_BTN_CONFIRM_OK) {
    return;
  }
  const auto modal = OpenModal(window);
  if (modal && modal->id == IDD_WARNING_DIALOG) {
    modal->okEnabled = enable;
    changed_.notify_all();
  }
}

// The list box answers with its entries' count and its selection.
void ConsoleDialog::ComboReset() {
  Lock lock(mutex_);
  comboCount_ = 0;
  comboSel_ = -1;
}

int ConsoleDialog::ComboAddString(const wchar_t*) {
  Lock lock(mutex_);
  return comboCount_++;
}

int ConsoleDialog::ComboSetCurSel(int index) {
  Lock lock(mutex_);
  comboSel_ = index >= 0 && index < comboCount_ ? index : -1;
  return comboSel_;
}

int ConsoleDialog::ComboGetCurSel() {
  Lock lock(mutex_);
  return comboSel_;
}

void ConsoleDialog::SetTimer(int id, std::uint32_t periodMs) {
  Lock lock(mutex_);
  const bool started = timers_.count(id) == 0;
  timers_[id] = host_.NowMs() + periodMs;
  // The verify notice only ever blinks, so the console shows it once when its timer starts; the
  // erase notice shows with the erase start, when the status line takes it.
  if (started && id == IDT_BLINK_VERIFY) {
    Print(Printable(kTextVerifying));
  }
}

void ConsoleDialog::KillTimer(int id) {
  Lock lock(mutex_);
  timers_.erase(id);
}

int ConsoleDialog::MessageBox(const wchar_t* text, const wchar_t* caption, std::uint32_t style,
                              bool) {
  Lock lock(mutex_);
  boxes_.push_back({caption == nullptr ? L"" : caption, text == nullptr ? L"" : text});
  const bool question = (style & 0xF) == kMbYesNo;
  Print("[" + Printable(boxes_.back().caption) + "] " + Printable(boxes_.back().text) +
            (question ? " (answered Yes)" : ""),
        true);
  return question ? kIdYes : kIdOk;
}

bool ConsoleDialog::OpenFileDialog(const OpenFileRequest&, wchar_t* path, std::size_t pathChars,
                                   wchar_t* title, std::size_t titleChars) {
  if (chosen_.empty()) {
    return false;
  }
  const std::wstring full = WideUtf8(chosen_);
  const std::size_t slash = full.find_last_of(L"/\\");
  CopyBounded(full, path, pathChars);
  CopyBounded(slash == std::wstring::npos ? full : full.substr(slash + 1), title, titleChars);
  return true;
}

std::shared_ptr<ConsoleDialog::Pending> ConsoleDialog::Enqueue(std::uint32_t message,
                                                               std::uintptr_t wParam,
                                                               std::intptr_t lParam) {
  auto pending = std::make_shared<Pending>();
  pending->message = message;
  pending->wParam = wParam;
  pending->lParam = lParam;
  Lock lock(mutex_);
  pending_.push_back(pending);
  changed_.notify_all();
  return pending;
}

void ConsoleDialog::PostToDialog(std::uint32_t message, std::uintptr_t wParam,
                                 std::intptr_t lParam) {
  Enqueue(message, wParam, lParam);
}

std::intptr_t ConsoleDialog::SendToDialog(std::uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t lParam) {
  if (OnDialogThread()) {
    return Dispatch(message, wParam, lParam);
  }
  Lock lock(mutex_);
  const std::shared_ptr<Pending> pending = Enqueue(message, wParam, lParam);
  changed_.wait_for(lock, kSendLimit, [&] { return pending->done; });
  return pending->result;
}

// ---- modal dialogs
// ---------------------------------------------------------------------------------

std::shared_ptr<ConsoleDialog::Modal> ConsoleDialog::OpenModal(Window window) const {
  for (auto it = modals_.rbegin(); it != modals_.rend(); ++it) {
    if (!(*it)->ended && Matches(window, (*it)->id)) {
      return *it;
    }
  }
  return nullptr;
}

bool ConsoleDialog::ModalOpen(int id) const {
  Lock lock(mutex_);
  return std::any_of(modals_.begin(), modals_.end(),
                     [id](const auto& modal) { return modal->id == id && !modal->ended; });
}

std::intptr_t ConsoleDialog::DialogBoxModal(int dialogId) {
  const DialogProcedure proc = ModalDialogProcedure(dialogId);
  const Handle window = kModalDialogBase + static_cast<Handle>(dialogId);
  auto modal = std::make_shared<Modal>();
  modal->id = dialogId;
  {
    Lock lock(mutex_);
    modals_.push_back(modal);
    modalsOpened_.push_back(dialogId);
  }
  if (dialogId != IDD_CONFIRM_DIALOG) {
    Print(std::string("[") + ModalName(dialogId) + "] shown", true);
  }
  if (proc != nullptr) {
    proc(window, kWmInitDialog, 0, 0);
  }
  // The person at the desk: OK in the confirmation, OK in the Error dialog, and OK in the
  // Warning dialog once the program enables it.
  int press = dialogId == IDD_ERROR_DIALOG ? kErrorDialogOk : IDC_BTN_CONFIRM_OK;
  {
    Lock lock(mutex_);
    if (dialogId == IDD_WARNING_DIALOG) {
      changed_.wait_for(lock, std::chrono::milliseconds(host_.RestLimitMs()),
                        [&] { return modal->ended || modal->okEnabled; });
    }
    if (modal->ended || (dialogId == IDD_WARNING_DIALOG && !modal->okEnabled)) {
      press = 0;
    }
  }
  Print(std::string("[") + ModalName(dialogId) + "]" +
            (press != 0 ? " OK pressed" : " closed by the program"),
        true);
  if (press != 0 && proc != nullptr) {
    proc(window, kWmCommand, CommandParam(press), 0);
  }
  Lock lock(mutex_);
  modal->ended = true;
  modals_.erase(std::remove(modals_.begin(), modals_.end(), modal), modals_.end());
  return modal->result;
}

void ConsoleDialog::EndDialog(Window window, std::intptr_t result) {
  Lock lock(mutex_);
  const auto modal = OpenModal(window);
  if (modal) {
    modal->ended = true;
    modal->result = result;
    changed_.notify_all();
  }
}

void ConsoleDialog::SetForeground(Window) {}

bool ConsoleDialog::RegisterDeviceNotification(DeviceInterfaceClass cls) {
  return host_.RegisterDeviceNotification(cls);
}

std::uint32_t ConsoleDialog::WaitThreadPumping(Handle thread, std::uint32_t) {
  // As the window's loop does: the messages the thread sends are handled while it finishes (the
  // refresher stopping at the end of a run may be sending one). The bench's threads end on their
  // own; the bound is the real-time one of every wait here.
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(host_.RestLimitMs());
  while (Sys().ThreadExitCode(thread) == kStillActive) {
    if (Pump() == 0) {
      if (std::chrono::steady_clock::now() >= deadline) {
        return kWaitTimeout;
      }
      Lock lock(mutex_);
      changed_.wait_for(lock, kPumpNap, [&] { return !pending_.empty(); });
    }
  }
  return Sys().WaitThread(thread, 0);  // joins the ended thread
}

ProgramSaid WhatTheProgramSaid(const std::vector<ConsoleDialog::Box>& boxes,
                               const std::vector<int>& modalsOpened) {
  bool success = false;
  bool unconfirmed = false;
  for (const auto& box : boxes) {
    if (box.caption == kCaptionError) {
      return ProgramSaid::kFailed;
    }
    success = success || box.caption == kCaptionSuccess;
    unconfirmed = unconfirmed || box.text == kTextWrittenUnconfirmed;
  }
  // A camera that finishes its update on its own ends with the Warning dialog instead.
  for (const int modal : modalsOpened) {
    success = success || modal == IDD_WARNING_DIALOG;
  }
  if (success) {
    return ProgramSaid::kSucceeded;
  }
  return unconfirmed ? ProgramSaid::kUnconfirmed : ProgramSaid::kFailed;
}

}  // namespace veltra::console
