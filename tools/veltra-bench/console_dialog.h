// A console DialogView for veltra-bench: it keeps the main dialog's state as the real dialog
// would (status line, headline, progress bar, timers) and prints what a person would see change:
// the blinking notices, the percentage and the headline, message boxes and modal dialogs. Message
// boxes are answered with OK (Yes for a question); modal dialogs return 1.
#pragma once

#include <map>
#include <mutex>
#include <ostream>
#include <string>

#include "platform/dialog_view.h"

namespace veltra::bench {

// ASCII rendering of the program's UTF-16 texts, line breaks shown as " / ".
std::string Printable(const std::wstring& text);

class ConsoleDialog : public DialogView {
 public:
  // quiet: print only message boxes and modal dialogs.
  ConsoleDialog(std::ostream& out, bool quiet);

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

  // ---- inspection ----
  int ProgressPos() const;
  std::wstring StatusLine() const;
  int MessageBoxCount() const;

 private:
  void Print(const std::string& line, bool always = false);

  std::ostream& out_;
  bool quiet_;
  mutable std::recursive_mutex mutex_;
  std::map<int, std::wstring> texts_;
  std::map<int, bool> visible_;
  std::map<int, std::uint32_t> timers_;
  std::uint32_t total_ = 0;
  int progress_ = 0;
  int boxes_ = 0;
};

}  // namespace veltra::bench
