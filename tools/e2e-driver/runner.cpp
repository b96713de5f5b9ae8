#include "runner.h"

#include <cstdio>
#include <map>

#include "ui_access.h"

namespace veltra::e2e {

namespace {

constexpr DWORD kPollMs = 20;
constexpr int kDeviceList = 1012;
// The file-name box of the common open-file dialog (the newer and the older template).
constexpr int kFileNameCombo = 0x47C;  // cmb13
constexpr int kFileNameEdit = 0x480;   // edt1

void Click(HWND parent, HWND control, int id) {
  PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

// The environment block of a started program: the driver's own with the script's settings on top.
std::vector<wchar_t> EnvironmentBlock(
    const std::vector<std::pair<std::wstring, std::wstring>>& settings) {
  std::map<std::wstring, std::wstring> variables;
  wchar_t* own = GetEnvironmentStringsW();
  for (const wchar_t* entry = own; entry != nullptr && *entry != L'\0';
       entry += wcslen(entry) + 1) {
    const std::wstring text = entry;
    const std::size_t equals = text.find(L'=', 1);  // "=C:" entries start with '='
    if (equals != std::wstring::npos) {
      variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
  }
  if (own != nullptr) {
    FreeEnvironmentStringsW(own);
  }
  for (const auto& setting : settings) {
    variables[setting.first] = setting.second;
  }
  std::vector<wchar_t> block;
  for (const auto& variable : variables) {
    const std::wstring entry = variable.first + L"=" + variable.second;
    block.insert(block.end(), entry.begin(), entry.end());
    block.push_back(L'\0');
  }
  block.push_back(L'\0');
  return block;
}

}  // namespace

Runner::Runner(std::wstring folder, std::wstring shots)
    : folder_(std::move(folder)), shots_(std::move(shots)) {}

Runner::~Runner() {
  if (process_ != nullptr) {
    CloseHandle(process_);
  }
}

bool Runner::Run(const std::vector<Step>& steps) {
  started_ = GetTickCount64();
  for (const Step& step : steps) {
    const double at = static_cast<double>(GetTickCount64() - started_) / 1000.0;
    std::printf("  %7.2fs  line %3d  %s\n", at, step.line, step.source.c_str());
    std::fflush(stdout);
    failure_.clear();
    seen_.clear();
    if (!Do(step)) {
      std::printf("FAILED at line %d: %s\n  %s\n", step.line, step.source.c_str(),
                  failure_.c_str());
      std::fflush(stdout);
      return false;
    }
  }
  // The stage reads this line as well as the exit code: a program that crashes under Wine may
  // still end with status 0.
  std::printf("e2e_driver: all %zu steps passed\n", steps.size());
  std::fflush(stdout);
  return true;
}

void Runner::Finish(bool passed) {
  if (!passed || process_ == nullptr) {
    return;
  }
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    std::printf("  (the program was still running: ended by the driver)\n");
    TerminateProcess(process_, 0);
    WaitForSingleObject(process_, timeoutMs_);
  }
}

bool Runner::Fail(const std::string& why) {
  failure_ = why;
  if (!seen_.empty()) {
    failure_ += "\n  last seen: " + seen_;
  }
  return false;
}

bool Runner::WaitUntil(const std::function<bool()>& check) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs_;
  for (;;) {
    if (check()) {
      return true;
    }
    if (GetTickCount64() >= deadline) {
      return false;
    }
    Sleep(kPollMs);
  }
}

std::wstring Runner::Resolve(const std::wstring& name) const {
  const bool absolute =
      (name.size() > 1 && name[1] == L':') || (!name.empty() && (name[0] == L'\\'));
  return absolute ? name : folder_ + L"\\" + name;
}

HWND Runner::Target() {
  if (target_ != nullptr && IsWindow(target_) == FALSE) {
    target_ = nullptr;
  }
  return target_;
}

HWND Runner::Control(int id) {
  const HWND dialog = Target();
  return dialog == nullptr ? nullptr : GetDlgItem(dialog, id);
}

HWND Runner::FileDialog() const {
  for (HWND window : ShownWindows(processId_)) {
    if (ClassOf(window) == kDialogClass && (GetDlgItem(window, kFileNameCombo) != nullptr ||
                                            GetDlgItem(window, kFileNameEdit) != nullptr)) {
      return window;
    }
  }
  return nullptr;
}

HWND Runner::MessageBoxWith(const std::wstring& caption, const std::wstring& text) {
  for (HWND window : ShownWindows(processId_)) {
    if (ClassOf(window) == kDialogClass && TitleOf(window) == caption &&
        FindStaticText(window, text) != nullptr) {
      return window;
    }
  }
  seen_ = ShownBoxes();
  return nullptr;
}

HWND Runner::DialogWith(const std::wstring& caption, int control) const {
  for (HWND window : ShownWindows(processId_)) {
    if (ClassOf(window) == kDialogClass && TitleOf(window) == caption &&
        GetDlgItem(window, control) != nullptr) {
      return window;
    }
  }
  return nullptr;
}

// Every dialog-class window on screen with its caption and static texts: what the user sees.
std::string Runner::ShownBoxes() {
  std::string out;
  for (HWND window : ShownWindows(processId_)) {
    if (ClassOf(window) != kDialogClass || GetDlgItem(window, kDeviceList) != nullptr) {
      continue;
    }
    std::vector<std::wstring> texts;
    for (HWND child : ChildrenOf(window)) {
      std::wstring text;
      if (ClassOf(child) == L"Static" && ReadText(child, &text) && !text.empty()) {
        texts.push_back(text);
      }
    }
    out += (out.empty() ? "" : "; ") + Quote(TitleOf(window)) + " " + Join(texts);
  }
  return out.empty() ? "no dialog or message box" : out;
}

bool Runner::Launch(const std::wstring& exe, PROCESS_INFORMATION* process) {
  const std::wstring path = Resolve(exe);
  std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
  std::wstring commandLine = L"\"" + path + L"\"";
  std::vector<wchar_t> environment = EnvironmentBlock(environment_);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  // The program looks for its icon file in the current folder: start it in its own.
  if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                     environment.data(), folder.c_str(), &startup, process) == FALSE) {
    return Fail("cannot start " + Narrow(path) + " (error " + std::to_string(GetLastError()) + ")");
  }
  CloseHandle(process->hThread);
  return true;
}

bool Runner::StartStep(const Step& step) {
  PROCESS_INFORMATION started = {};
  if (!Launch(step.args[0], &started)) {
    return false;
  }
  if (process_ != nullptr) {
    CloseHandle(process_);
  }
  process_ = started.hProcess;
  processId_ = started.dwProcessId;
  target_ = nullptr;
  return true;
}

bool Runner::RunStep(const Step& step) {
  PROCESS_INFORMATION started = {};
  if (!Launch(step.args[0], &started)) {
    return false;
  }
  const DWORD waited = WaitForSingleObject(started.hProcess, timeoutMs_);
  DWORD code = 0;
  GetExitCodeProcess(started.hProcess, &code);
  if (waited != WAIT_OBJECT_0) {
    TerminateProcess(started.hProcess, 1);
  }
  CloseHandle(started.hProcess);
  if (waited != WAIT_OBJECT_0) {
    return Fail("the second copy did not end");
  }
  if (static_cast<long>(code) != step.number) {
    return Fail("the second copy ended with " + std::to_string(static_cast<long>(code)));
  }
  return true;
}

bool Runner::WaitExitStep(const Step& step) {
  if (process_ == nullptr) {
    return Fail("no program was started");
  }
  if (WaitForSingleObject(process_, timeoutMs_) != WAIT_OBJECT_0) {
    seen_ = ShownBoxes();
    return Fail("the program did not end");
  }
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  CloseHandle(process_);
  process_ = nullptr;
  if (static_cast<long>(code) != step.number) {
    return Fail("the program ended with " + std::to_string(static_cast<long>(code)));
  }
  return true;
}

bool Runner::WindowStep(const Step& step) {
  const std::wstring& title = step.args[0];
  switch (step.op) {
    case Op::kWaitWindow: {
      HWND found = nullptr;
      if (!WaitUntil([&] { return (found = FindShown(processId_, title, nullptr)) != nullptr; })) {
        seen_ = ShownBoxes();
        return Fail("no window " + Quote(title) + " is shown");
      }
      if (ClassOf(found) == kDialogClass) {
        target_ = found;
      }
      return true;
    }
    case Op::kWaitGone:
      if (!WaitUntil([&] { return FindShown(processId_, title, nullptr) == nullptr; })) {
        return Fail("the window " + Quote(title) + " is still shown");
      }
      return true;
    default: {  // kExpectForeground
      if (!WaitUntil([&] {
            seen_ = Quote(TitleOf(GetForegroundWindow()));
            return TitleOf(GetForegroundWindow()) == title;
          })) {
        return Fail("the foreground window is not " + Quote(title));
      }
      return true;
    }
  }
}

bool Runner::ControlStep(const Step& step) {
  if (Target() == nullptr) {
    return Fail("no dialog to act on: wait-window for it first (or it has closed)");
  }
  const std::string name = "control " + std::to_string(step.control);
  const auto check = [&]() -> bool {
    const HWND control = Control(step.control);
    if (control == nullptr) {
      seen_ = "the dialog has no " + name;
      return false;
    }
    const bool visible = IsWindowVisible(control) != FALSE;
    const bool enabled = IsWindowEnabled(control) != FALSE;
    std::wstring text;
    const bool read = ReadText(control, &text);
    seen_ = std::string(visible ? "shown" : "hidden") + ", " + (enabled ? "enabled" : "disabled") +
            ", text " + (read ? Quote(text) : "(no answer)");
    switch (step.op) {
      case Op::kExpectText:
        return read && text == step.args[1];
      case Op::kExpectTextHas:
        return read && text.find(step.args[1]) != std::wstring::npos;
      case Op::kExpectVisible:
        return visible;
      case Op::kExpectHidden:
        return !visible;
      case Op::kExpectEnabled:
        return enabled;
      case Op::kExpectDisabled:
        return !enabled;
      default:  // kClick: a person can click only a shown, enabled button of a usable dialog
        if (IsWindowEnabled(Target()) == FALSE) {
          seen_ += "; the dialog is disabled behind " + ShownBoxes();
          return false;
        }
        return visible && enabled;
    }
  };
  if (!WaitUntil(check)) {
    return Fail(name + " is not as expected");
  }
  if (step.op == Op::kClick) {
    Click(Target(), Control(step.control), step.control);
  }
  return true;
}

bool Runner::ListStep(const Step& step) {
  if (Target() == nullptr) {
    return Fail("no dialog to act on: wait-window for it first");
  }
  std::vector<std::wstring> entries;
  int selected = -1;
  int wanted = -1;
  const auto check = [&]() -> bool {
    const HWND list = Control(kDeviceList);
    if (list == nullptr || !ComboEntries(list, &entries, &selected)) {
      seen_ = "the device list did not answer";
      return false;
    }
    seen_ = Join(entries) + ", selected " + std::to_string(selected);
    switch (step.op) {
      case Op::kExpectEntries:
        return entries == step.args;
      case Op::kExpectSelected:
        return selected >= 0 && static_cast<std::size_t>(selected) < entries.size() &&
               entries[static_cast<std::size_t>(selected)] == step.args[0];
      default:  // kSelect
        wanted = -1;
        for (std::size_t i = 0; i < entries.size(); ++i) {
          if (entries[i] == step.args[0]) {
            wanted = static_cast<int>(i);
          }
        }
        return wanted >= 0 && IsWindowEnabled(list) != FALSE && IsWindowEnabled(Target()) != FALSE;
    }
  };
  if (!WaitUntil(check)) {
    return Fail(step.op == Op::kSelect ? "cannot select " + Quote(step.args[0])
                                       : "the device list is not as expected");
  }
  if (step.op == Op::kSelect) {
    const HWND list = Control(kDeviceList);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(list, CB_SETCURSEL, static_cast<WPARAM>(wanted), 0, SMTO_ABORTIFHUNG,
                        timeoutMs_, &result);
    PostMessageW(Target(), WM_COMMAND, MAKEWPARAM(kDeviceList, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
  }
  return true;
}

bool Runner::OpenFileStep(const Step& step) {
  HWND dialog = nullptr;
  if (!WaitUntil([&] { return (dialog = FileDialog()) != nullptr; })) {
    seen_ = ShownBoxes();
    return Fail("no open-file dialog is shown");
  }
  HWND name = GetDlgItem(dialog, kFileNameCombo);
  if (name == nullptr) {
    name = GetDlgItem(dialog, kFileNameEdit);
  }
  const std::wstring path = Resolve(step.args[0]);
  DWORD_PTR result = 0;
  if (SendMessageTimeoutW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()),
                          SMTO_ABORTIFHUNG, timeoutMs_, &result) == 0) {
    return Fail("the open-file dialog did not take the file name");
  }
  Click(dialog, GetDlgItem(dialog, IDOK), IDOK);
  if (!WaitUntil([&] { return IsWindow(dialog) == FALSE || IsWindowVisible(dialog) == FALSE; })) {
    seen_ = ShownBoxes();
    return Fail("the open-file dialog did not accept " + Narrow(path));
  }
  return true;
}

bool Runner::BoxStep(const Step& step) {
  const std::wstring& caption = step.args[0];
  if (step.op == Op::kNoBox) {
    const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(step.number);
    while (GetTickCount64() < until) {
      for (HWND window : ShownWindows(processId_)) {
        if (ClassOf(window) == kDialogClass && TitleOf(window) == caption &&
            GetDlgItem(window, kDeviceList) == nullptr) {
          seen_ = ShownBoxes();
          return Fail("a dialog or message box " + Quote(caption) + " is shown");
        }
      }
      Sleep(kPollMs);
    }
    return true;
  }
  HWND box = nullptr;
  if (!WaitUntil([&] { return (box = MessageBoxWith(caption, step.args[1])) != nullptr; })) {
    return Fail("no message box " + Quote(caption) + " with " + Quote(step.args[1]));
  }
  if (step.op == Op::kExpectBox) {
    return true;
  }
  const int button = ButtonId(step.args[2]);
  const HWND control = GetDlgItem(box, button);
  if (control == nullptr) {
    return Fail("the message box has no " + Narrow(step.args[2]) + " button");
  }
  Click(box, control, button);
  if (!WaitUntil([&] { return IsWindow(box) == FALSE || IsWindowVisible(box) == FALSE; })) {
    return Fail("the message box did not close");
  }
  return true;
}

bool Runner::DialogStep(const Step& step) {
  const std::wstring& caption = step.args[0];
  HWND dialog = nullptr;
  const bool wantEnabled = step.op == Op::kDialogPress || step.args[2] == L"enabled";
  const auto check = [&]() -> bool {
    dialog = DialogWith(caption, step.control);
    if (dialog == nullptr) {
      seen_ = ShownBoxes();
      return false;
    }
    const bool enabled = IsWindowEnabled(GetDlgItem(dialog, step.control)) != FALSE;
    seen_ = Quote(caption) + " with control " + std::to_string(step.control) +
            (enabled ? " enabled" : " disabled");
    return enabled == wantEnabled;
  };
  if (!WaitUntil(check)) {
    return Fail("no dialog " + Quote(caption) + " with control " + std::to_string(step.control) +
                (wantEnabled ? " enabled" : " disabled"));
  }
  if (step.op == Op::kDialogPress) {
    Click(dialog, GetDlgItem(dialog, step.control), step.control);
    if (!WaitUntil([&] { return IsWindow(dialog) == FALSE || IsWindowVisible(dialog) == FALSE; })) {
      return Fail("the dialog " + Quote(caption) + " did not close");
    }
  }
  return true;
}

bool Runner::ShotStep(const Step& step) {
  if (!BenchBesideDialog()) {
    return false;
  }
  const std::wstring path = shots_ + L"\\" + step.args[0] + L".bmp";
  std::string error;
  if (!SaveScreenshot(path, &error)) {
    return Fail(error + ": " + Narrow(path));
  }
  std::printf("           screenshot %s\n", Narrow(path).c_str());
  return true;
}

bool Runner::Do(const Step& step) {
  switch (step.op) {
    case Op::kTimeout:
      timeoutMs_ = static_cast<DWORD>(step.number) * 1000;
      return true;
    case Op::kEnv:
      environment_.emplace_back(step.args[0], step.args[1]);
      return true;
    case Op::kStart:
      return StartStep(step);
    case Op::kRun:
      return RunStep(step);
    case Op::kWaitExit:
      return WaitExitStep(step);
    case Op::kWaitWindow:
    case Op::kWaitGone:
    case Op::kExpectForeground:
      return WindowStep(step);
    case Op::kExpectText:
    case Op::kExpectTextHas:
    case Op::kExpectVisible:
    case Op::kExpectHidden:
    case Op::kExpectEnabled:
    case Op::kExpectDisabled:
    case Op::kClick:
      return ControlStep(step);
    case Op::kExpectEntries:
    case Op::kExpectSelected:
    case Op::kSelect:
      return ListStep(step);
    case Op::kOpenFile:
      return OpenFileStep(step);
    case Op::kBox:
    case Op::kExpectBox:
    case Op::kNoBox:
      return BoxStep(step);
    case Op::kDialogExpect:
    case Op::kDialogPress:
      return DialogStep(step);
    case Op::kBench:
    case Op::kBenchExpect:
      return BenchStep(step);
    case Op::kShot:
      return ShotStep(step);
    case Op::kSleep:
      Sleep(static_cast<DWORD>(step.number));
      return true;
  }
  return Fail("unknown step");
}

}  // namespace veltra::e2e
