// The program's dialog port while the console program lists devices without a window: a message
// box the program shows becomes a line on the console (a question is answered No: nobody is there
// to say Yes), and everything else a window would show is dropped.
#pragma once

#include <ostream>

#include "platform/dialog_view.h"

namespace veltra::console {

class MessageView : public DialogView {
 public:
  explicit MessageView(std::ostream& err) : err_(err) {}

  void SetItemText(int, const wchar_t*) override {}
  std::wstring GetItemText(int) override { return L""; }
  void ShowItem(int, bool) override {}
  void EnableItem(int, bool) override {}
  void EnableWindowItem(Window, int, bool) override {}
  void ComboReset() override {}
  int ComboAddString(const wchar_t*) override { return -1; }
  int ComboSetCurSel(int) override { return -1; }
  int ComboGetCurSel() override { return -1; }
  void ProgressSetPos(int) override {}
  void SetTimer(int, std::uint32_t) override {}
  void KillTimer(int) override {}
  int MessageBox(const wchar_t* text, const wchar_t* caption, std::uint32_t style,
                 bool owned) override;
  bool OpenFileDialog(const OpenFileRequest&, wchar_t*, std::size_t, wchar_t*,
                      std::size_t) override {
    return false;
  }
  std::intptr_t SendToDialog(std::uint32_t, std::uintptr_t, std::intptr_t) override { return 0; }
  std::intptr_t DialogBoxModal(int) override { return 0; }
  void EndDialog(Window, std::intptr_t) override {}
  void SetForeground(Window) override {}

 private:
  std::ostream& err_;
};

}  // namespace veltra::console
