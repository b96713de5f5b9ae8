#include "support/headless_dialog.h"

#include "app/text.h"

namespace veltra::test {

using Lock = std::lock_guard<std::recursive_mutex>;

void HeadlessDialog::SetItemText(int id, const wchar_t* text) {
  Lock lock(mutex_);
  controls_[id].text = text == nullptr ? L"" : text;
}

std::wstring HeadlessDialog::GetItemText(int id) {
  Lock lock(mutex_);
  return controls_[id].text;
}

void HeadlessDialog::ShowItem(int id, bool show) {
  Lock lock(mutex_);
  controls_[id].visible = show;
}

void HeadlessDialog::EnableItem(int id, bool enable) {
  Lock lock(mutex_);
  controls_[id].enabled = enable;
}

void HeadlessDialog::EnableWindowItem(Window window, int id, bool enable) {
  Lock lock(mutex_);
  otherWindowEnabled_[{static_cast<int>(window), id}] = enable;
}

void HeadlessDialog::ComboReset() {
  Lock lock(mutex_);
  combo_.clear();
  comboSel_ = -1;
}

int HeadlessDialog::ComboAddString(const wchar_t* text) {
  Lock lock(mutex_);
  combo_.emplace_back(text == nullptr ? L"" : text);
  return static_cast<int>(combo_.size()) - 1;
}

int HeadlessDialog::ComboSetCurSel(int index) {
  Lock lock(mutex_);
  if (index < 0 || index >= static_cast<int>(combo_.size())) {
    comboSel_ = -1;
    return -1;
  }
  comboSel_ = index;
  return index;
}

int HeadlessDialog::ComboGetCurSel() {
  Lock lock(mutex_);
  return comboSel_;
}

void HeadlessDialog::ProgressSetPos(int position) {
  Lock lock(mutex_);
  progress_ = position < 0 ? 0 : (position > 100 ? 100 : position);  // the control clamps
}

void HeadlessDialog::SetTimer(int id, std::uint32_t periodMs) {
  Lock lock(mutex_);
  timers_[id] = periodMs;
}

void HeadlessDialog::KillTimer(int id) {
  Lock lock(mutex_);
  timers_.erase(id);
}

int HeadlessDialog::MessageBox(const wchar_t* text, const wchar_t* caption, std::uint32_t style,
                               bool owned) {
  Lock lock(mutex_);
  boxes_.push_back(ShownBox{text == nullptr ? L"" : text, caption == nullptr ? L"" : caption,
                            style, owned});
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
  if (files_.empty() || !files_.front().has_value()) {
    if (!files_.empty()) files_.pop_front();
    return false;
  }
  const std::wstring full = *files_.front();
  files_.pop_front();
  CopyText(path, pathChars, full.c_str());
  const auto cut = full.find_last_of(L"\\/");
  CopyText(title, titleChars, cut == std::wstring::npos ? full.c_str() : full.c_str() + cut + 1);
  return true;
}

std::intptr_t HeadlessDialog::SendToDialog(std::uint32_t message, std::uintptr_t wParam,
                                           std::intptr_t lParam) {
  DialogProc proc;
  {
    Lock lock(mutex_);
    messages_.push_back(SentMessage{message, wParam, lParam});
    proc = proc_;
  }
  if (!proc) return 0;
  std::lock_guard<std::mutex> serial(procMutex_);
  return proc(message, wParam, lParam);
}

std::intptr_t HeadlessDialog::DialogBoxModal(int dialogId) {
  ModalHandler handler;
  {
    Lock lock(mutex_);
    modals_.push_back(dialogId);
    handler = modal_;
  }
  return handler ? handler(dialogId) : 1;
}

void HeadlessDialog::EndDialog(Window window, std::intptr_t result) {
  Lock lock(mutex_);
  ended_.emplace_back(window, result);
}

void HeadlessDialog::SetForeground(Window) {}

void HeadlessDialog::QueueMessageBoxAnswer(int answer) {
  Lock lock(mutex_);
  answers_.push_back(answer);
}

void HeadlessDialog::QueueOpenFile(std::optional<std::wstring> fullPath) {
  Lock lock(mutex_);
  files_.push_back(std::move(fullPath));
}

void HeadlessDialog::SetDialogProc(DialogProc proc) {
  Lock lock(mutex_);
  proc_ = std::move(proc);
}

void HeadlessDialog::SetModalHandler(ModalHandler handler) {
  Lock lock(mutex_);
  modal_ = std::move(handler);
}

HeadlessDialog::Control HeadlessDialog::Item(int id) const {
  Lock lock(mutex_);
  auto it = controls_.find(id);
  return it == controls_.end() ? Control{} : it->second;
}

std::vector<std::wstring> HeadlessDialog::ComboItems() const {
  Lock lock(mutex_);
  return combo_;
}

int HeadlessDialog::ProgressPos() const {
  Lock lock(mutex_);
  return progress_;
}

bool HeadlessDialog::TimerRunning(int id) const {
  Lock lock(mutex_);
  return timers_.count(id) != 0;
}

std::uint32_t HeadlessDialog::TimerPeriod(int id) const {
  Lock lock(mutex_);
  auto it = timers_.find(id);
  return it == timers_.end() ? 0 : it->second;
}

std::vector<HeadlessDialog::ShownBox> HeadlessDialog::MessageBoxes() const {
  Lock lock(mutex_);
  return boxes_;
}

std::vector<HeadlessDialog::SentMessage> HeadlessDialog::Messages() const {
  Lock lock(mutex_);
  return messages_;
}

std::vector<int> HeadlessDialog::ModalDialogsOpened() const {
  Lock lock(mutex_);
  return modals_;
}

std::vector<OpenFileRequest> HeadlessDialog::FileRequests() const {
  Lock lock(mutex_);
  return fileRequests_;
}

std::vector<std::pair<Window, std::intptr_t>> HeadlessDialog::EndedDialogs() const {
  Lock lock(mutex_);
  return ended_;
}

void HeadlessDialog::ClearRecords() {
  Lock lock(mutex_);
  boxes_.clear();
  messages_.clear();
  modals_.clear();
  ended_.clear();
  fileRequests_.clear();
}

}  // namespace veltra::test
