#include "app/shown_controls.h"

#include <algorithm>

namespace veltra {

namespace {
std::wstring Str(const wchar_t* text) {
  return text == nullptr ? L"" : text;
}
}  // namespace

ShownControls::Control ShownControls::Item(int id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = controls_.find(id);
  return it == controls_.end() ? Control{} : it->second;
}

std::optional<bool> ShownControls::WindowItemEnabled(Window window, int id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = otherWindows_.find({window, id});
  return it == otherWindows_.end() ? std::nullopt : std::optional<bool>(it->second);
}

std::vector<std::wstring> ShownControls::Entries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_;
}

int ShownControls::Selected() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return selected_;
}

int ShownControls::Bar() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bar_;
}

// Each change is noted after the dialog made it: a control set from another thread changes when
// the dialog thread handles the message, after whatever the dialog thread set before.
void ShownControls::SetItemText(int id, const wchar_t* text) {
  dialog_.SetItemText(id, text);
  std::lock_guard<std::mutex> telling(textMutex_);
  const std::wstring value = Str(text);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::wstring& held = controls_[id].text;
    if (held == value) {
      return;
    }
    held = value;
  }
  if (textListener_) {
    textListener_(id, value);
  }
}

void ShownControls::SetTextListener(TextListener listener) {
  std::lock_guard<std::mutex> telling(textMutex_);
  textListener_ = std::move(listener);
}

void ShownControls::ShowItem(int id, bool show) {
  dialog_.ShowItem(id, show);
  std::lock_guard<std::mutex> lock(mutex_);
  controls_[id].visible = show;
}

void ShownControls::EnableItem(int id, bool enable) {
  dialog_.EnableItem(id, enable);
  std::lock_guard<std::mutex> lock(mutex_);
  controls_[id].enabled = enable;
}

void ShownControls::EnableWindowItem(Window window, int id, bool enable) {
  dialog_.EnableWindowItem(window, id, enable);
  std::lock_guard<std::mutex> lock(mutex_);
  otherWindows_[{window, id}] = enable;
}

void ShownControls::ComboReset() {
  dialog_.ComboReset();
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.clear();
  selected_ = -1;
}

int ShownControls::ComboAddString(const wchar_t* text) {
  const int index = dialog_.ComboAddString(text);
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.push_back(Str(text));
  return index;
}

int ShownControls::ComboSetCurSel(int index) {
  const int selected = dialog_.ComboSetCurSel(index);
  std::lock_guard<std::mutex> lock(mutex_);
  selected_ = selected;
  return selected;
}

int ShownControls::ComboGetCurSel() {
  const int selected = dialog_.ComboGetCurSel();
  std::lock_guard<std::mutex> lock(mutex_);
  selected_ = selected;
  return selected;
}

// The bar clamps to its range 0..100.
void ShownControls::ProgressSetPos(int position) {
  dialog_.ProgressSetPos(position);
  std::lock_guard<std::mutex> lock(mutex_);
  bar_ = std::clamp(position, 0, 100);
}

}  // namespace veltra
