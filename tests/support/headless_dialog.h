// A headless DialogView for tests: keeps each control's text, visibility and enabled state, the
// device list, the bar position, the running timers, the message boxes shown (answered from a
// script), the open-file dialog's answers, modal dialogs and every message sent to the dialog.
// Messages are handed to an optional dialog procedure one at a time, as the dialog thread would.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialog_view.h"

namespace veltra::test {

class HeadlessDialog : public DialogView {
 public:
  struct Control {
    std::wstring text;
    bool visible = true;
    bool enabled = true;
  };
  struct ShownBox {
    std::wstring text;
    std::wstring caption;
    std::uint32_t style = 0;
    bool owned = true;
  };
  struct SentMessage {
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
  };
  using DialogProc = std::function<std::intptr_t(std::uint32_t, std::uintptr_t, std::intptr_t)>;
  using ModalHandler = std::function<std::intptr_t(int dialogId)>;

  // ---- DialogView ----
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
  std::intptr_t DialogBoxModal(int dialogId) override;
  void EndDialog(Window window, std::intptr_t result) override;
  void SetForeground(Window window) override;

  // ---- script ----
  // Answers for the next message boxes, in order; when none is queued a box is answered kIdOk
  // (kIdYes for a yes/no box).
  void QueueMessageBoxAnswer(int answer);
  // The next open-file dialog returns this full path (nullopt: the user cancels).
  void QueueOpenFile(std::optional<std::wstring> fullPath);
  void SetDialogProc(DialogProc proc);
  // Decides what a modal dialog returns (default: 1 at once).
  void SetModalHandler(ModalHandler handler);

  // ---- inspection ----
  Control Item(int id) const;
  std::vector<std::wstring> ComboItems() const;
  int ProgressPos() const;
  bool TimerRunning(int id) const;
  std::uint32_t TimerPeriod(int id) const;
  std::vector<ShownBox> MessageBoxes() const;
  std::vector<SentMessage> Messages() const;
  std::vector<int> ModalDialogsOpened() const;
  std::vector<OpenFileRequest> FileRequests() const;
  std::vector<std::pair<Window, std::intptr_t>> EndedDialogs() const;
  void ClearRecords();

 private:
  mutable std::recursive_mutex mutex_;
  std::mutex procMutex_;  // one message at a time, as on the dialog's thread
  std::map<int, Control> controls_;
  std::map<std::pair<int, int>, bool> otherWindowEnabled_;
  std::vector<std::wstring> combo_;
  int comboSel_ = -1;
  int progress_ = 0;
  std::map<int, std::uint32_t> timers_;
  std::vector<ShownBox> boxes_;
  std::deque<int> answers_;
  std::deque<std::optional<std::wstring>> files_;
  std::vector<OpenFileRequest> fileRequests_;
  std::vector<SentMessage> messages_;
  std::vector<int> modals_;
  std::vector<std::pair<Window, std::intptr_t>> ended_;
  DialogProc proc_;
  ModalHandler modal_;
};

}  // namespace veltra::test
