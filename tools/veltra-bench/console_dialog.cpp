#include "veltra-bench/console_dialog.h"

#include "core/resource_ids.h"
#include "core/text.h"
#include "core/update_session.h"
#include "dfu/dfu_requests.h"

namespace veltra::bench {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

constexpr wchar_t kErasingText[] = L"Erasing Memory...Please Wait...";
constexpr wchar_t kVerifyText[] = L"Verify Flash... Please Wait...";
constexpr wchar_t kUpdatingText[] = L"Updating Firmware..";
// The bar runs this far ahead of the percentage shown, as the dialog's does.
constexpr int kBarLead = 3;

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

ConsoleDialog::ConsoleDialog(std::ostream& out, bool quiet) : out_(out), quiet_(quiet) {}

void ConsoleDialog::Print(const std::string& line, bool always) {
  if (quiet_ && !always) {
    return;
  }
  out_ << "  | " << line << '\n';
}

void ConsoleDialog::SetItemText(int id, const wchar_t* text) {
  Lock lock(mutex_);
  texts_[id] = text == nullptr ? L"" : text;
}

std::wstring ConsoleDialog::GetItemText(int id) {
  Lock lock(mutex_);
  return texts_[id];
}

void ConsoleDialog::ShowItem(int id, bool show) {
  Lock lock(mutex_);
  visible_[id] = show;
}

void ConsoleDialog::EnableItem(int, bool) {}
void ConsoleDialog::EnableWindowItem(Window, int, bool) {}
void ConsoleDialog::ComboReset() {}
int ConsoleDialog::ComboAddString(const wchar_t*) {
  return 0;
}
int ConsoleDialog::ComboSetCurSel(int index) {
  return index;
}
int ConsoleDialog::ComboGetCurSel() {
  return 0;
}

void ConsoleDialog::ProgressSetPos(int position) {
  Lock lock(mutex_);
  progress_ = position < 0 ? 0 : (position > 100 ? 100 : position);
}

void ConsoleDialog::SetTimer(int id, std::uint32_t periodMs) {
  Lock lock(mutex_);
  const bool wasRunning = timers_.count(id) != 0;
  timers_[id] = periodMs;
  // A blink timer shows its notice on its first tick; the console shows it once when it starts.
  if (!wasRunning && id == IDT_BLINK_ERASE) {
    Print(Printable(kErasingText));
  } else if (!wasRunning && id == IDT_BLINK_VERIFY) {
    Print(Printable(kVerifyText));
  }
}

void ConsoleDialog::KillTimer(int id) {
  Lock lock(mutex_);
  timers_.erase(id);
}

int ConsoleDialog::MessageBox(const wchar_t* text, const wchar_t* caption, std::uint32_t style,
                              bool) {
  Lock lock(mutex_);
  ++boxes_;
  Print("[" + Printable(caption == nullptr ? L"" : caption) + "] " +
            Printable(text == nullptr ? L"" : text),
        true);
  return (style & 0xF) == kMbYesNo ? kIdYes : kIdOk;
}

bool ConsoleDialog::OpenFileDialog(const OpenFileRequest&, wchar_t*, std::size_t, wchar_t*,
                                   std::size_t) {
  return false;  // the bench is given its file on the command line
}

std::intptr_t ConsoleDialog::SendToDialog(std::uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t) {
  Lock lock(mutex_);
  switch (message) {
    case WM_APP_ERASE_START:
      visible_[IDC_STATIC_UPDATING] = false;
      texts_[IDC_STATIC_STATUS] = kErasingText;
      total_ = static_cast<std::uint32_t>(wParam);
      Print(Printable(kErasingText) + " (" + std::to_string(total_) + " blocks)");
      break;
    case WM_APP_PROGRESS: {
      texts_[IDC_STATIC_UPDATING] = kUpdatingText;
      visible_[IDC_STATIC_UPDATING] = true;
      // A total of 0 would divide by zero: the dialog then shows 0 %.
      const unsigned percent = total_ == 0 ? 0u : static_cast<unsigned>(wParam * 100u / total_);
      wchar_t buffer[16] = {};
      FormatText(buffer, 16, L"%d%%", static_cast<int>(percent));
      const bool changed = texts_[IDC_STATIC_STATUS] != buffer;
      texts_[IDC_STATIC_STATUS] = buffer;
      progress_ =
          static_cast<int>(percent) + kBarLead > 100 ? 100 : static_cast<int>(percent) + kBarLead;
      if (changed) {
        Print(Printable(kUpdatingText) + " " + Printable(buffer));
      }
      break;
    }
    case WM_APP_UPDATE_DONE:
      total_ = 0;
      texts_[IDC_STATIC_STATUS] = L"";
      progress_ = 0;
      // As the dialog does: the download is over, the DFU handles go.
      ReleaseDfuHandles(CurrentUpdate().link);
      Print("update done: the dialog released the DFU handles");
      break;
    default:
      break;
  }
  return 0;
}

std::intptr_t ConsoleDialog::DialogBoxModal(int dialogId) {
  Lock lock(mutex_);
  Print(dialogId == IDD_WARNING_DIALOG ? "[Warning dialog] (closed with OK)"
                                       : "[dialog " + std::to_string(dialogId) + "]",
        true);
  return 1;
}

void ConsoleDialog::EndDialog(Window, std::intptr_t) {}
void ConsoleDialog::SetForeground(Window) {}

int ConsoleDialog::ProgressPos() const {
  Lock lock(mutex_);
  return progress_;
}

std::wstring ConsoleDialog::StatusLine() const {
  Lock lock(mutex_);
  auto it = texts_.find(IDC_STATIC_STATUS);
  return it == texts_.end() ? L"" : it->second;
}

int ConsoleDialog::MessageBoxCount() const {
  Lock lock(mutex_);
  return boxes_;
}

}  // namespace veltra::bench
