// What the user sees of the dialog's controls: a DialogView in front of the dialog that passes
// every call on and keeps what the application set (each control's text, visibility and enabled
// state, the device list's entries and selection, the bar, the controls of the other windows).
// Windows keeps all of that in its controls; this view holds it once more so that whoever has no
// screen to look at (a test, a headless run) reads the dialog as the user would. Calls come from
// any thread, as the presenter's reports do; each change is noted once the dialog has made it.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/dialog_view.h"

namespace veltra {

class ShownControls final : public DialogView {
 public:
  struct Control {
    std::wstring text;
    bool visible = true;
    bool enabled = true;
  };

  explicit ShownControls(DialogView& dialog) : dialog_(dialog) {}

  // Told each text a control takes that differs from the one it showed, one change at a time and
  // in the order they were made, from whichever thread made it; it may read the controls here.
  // Empty: nobody is told.
  using TextListener = std::function<void(int id, const std::wstring& text)>;
  void SetTextListener(TextListener listener);

  // ---- what the user sees ----
  Control Item(int id) const;
  std::optional<bool> WindowItemEnabled(Window window, int id) const;
  std::vector<std::wstring> Entries() const;
  int Selected() const;  // -1: nothing selected
  int Bar() const;

  // ---- DialogView ----
  void SetItemText(int id, const wchar_t* text) override;
  // The only text read back is the read-only firmware path: what the application put there.
  std::wstring GetItemText(int id) override { return Item(id).text; }
  void ShowItem(int id, bool show) override;
  void EnableItem(int id, bool enable) override;
  void EnableWindowItem(Window window, int id, bool enable) override;
  void ComboReset() override;
  int ComboAddString(const wchar_t* text) override;
  int ComboSetCurSel(int index) override;
  // The user picks entries in the control itself: the control answers.
  int ComboGetCurSel() override;
  void ProgressSetPos(int position) override;
  void SetTimer(int id, std::uint32_t periodMs) override { dialog_.SetTimer(id, periodMs); }
  void KillTimer(int id) override { dialog_.KillTimer(id); }
  int MessageBox(const wchar_t* text, const wchar_t* caption, std::uint32_t style,
                 bool owned) override {
    return dialog_.MessageBox(text, caption, style, owned);
  }
  bool OpenFileDialog(const OpenFileRequest& request, wchar_t* path, std::size_t pathChars,
                      wchar_t* title, std::size_t titleChars) override {
    return dialog_.OpenFileDialog(request, path, pathChars, title, titleChars);
  }
  std::intptr_t SendToDialog(std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override {
    return dialog_.SendToDialog(message, wParam, lParam);
  }
  void PostToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
    dialog_.PostToDialog(message, wParam, lParam);
  }
  std::intptr_t DialogBoxModal(int dialogId) override { return dialog_.DialogBoxModal(dialogId); }
  void EndDialog(Window window, std::intptr_t result) override {
    dialog_.EndDialog(window, result);
  }
  void SetForeground(Window window) override { dialog_.SetForeground(window); }
  std::uint32_t WaitThreadPumping(Handle thread, std::uint32_t timeoutMs) override {
    return dialog_.WaitThreadPumping(thread, timeoutMs);
  }
  bool RegisterDeviceNotification(DeviceInterfaceClass cls) override {
    return dialog_.RegisterDeviceNotification(cls);
  }
  void SetSmallIconFromFile(const wchar_t* fileName) override {
    dialog_.SetSmallIconFromFile(fileName);
  }
  void EndProgram() override { dialog_.EndProgram(); }

 private:
  DialogView& dialog_;
  std::mutex textMutex_;  // one text change and its telling at a time
  TextListener textListener_;
  mutable std::mutex mutex_;
  std::map<int, Control> controls_;
  std::map<std::pair<Window, int>, bool> otherWindows_;
  std::vector<std::wstring> entries_;
  int selected_ = -1;
  int bar_ = 0;
};

}  // namespace veltra
