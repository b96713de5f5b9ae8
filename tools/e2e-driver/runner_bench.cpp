// The steps that reach the demo's virtual camera bench window: commands to it, what its list
// shows, and that it never covers the dialog.
#include "runner.h"
#include "ui_access.h"

namespace veltra::e2e {

namespace {

// The demo's virtual camera bench window (demo/bench_window.h).
constexpr wchar_t kBenchTitle[] = L"Virtual camera bench";
constexpr wchar_t kBenchClass[] = L"VeltraVirtualBench";
constexpr ULONG_PTR kBenchCommandTag = 0x56424348;
constexpr int kBenchList = 100;
constexpr int kBenchStatus = 106;

}  // namespace

HWND Runner::Bench() const {
  return FindShown(processId_, kBenchTitle, kBenchClass);
}

// The demo's bench window stands beside the main dialog, never over it: a screenshot must show
// both whole. Without either window on screen there is nothing to cover.
bool Runner::BenchBesideDialog() {
  RECT overlap{};
  const auto apart = [&] {
    const HWND bench = Bench();
    const HWND dialog = Target();
    if (bench == nullptr || dialog == nullptr || IsWindowVisible(dialog) == FALSE) {
      return true;
    }
    RECT benchRect{};
    RECT dialogRect{};
    GetWindowRect(bench, &benchRect);
    GetWindowRect(dialog, &dialogRect);
    return IntersectRect(&overlap, &benchRect, &dialogRect) == FALSE;
  };
  if (!WaitUntil(apart)) {
    return Fail("the bench window covers the dialog (" +
                std::to_string(overlap.right - overlap.left) + "x" +
                std::to_string(overlap.bottom - overlap.top) + " pixels of it)");
  }
  return true;
}

bool Runner::BenchStep(const Step& step) {
  HWND bench = nullptr;
  if (!WaitUntil([&] { return (bench = Bench()) != nullptr; })) {
    return Fail("the virtual camera bench window is not shown");
  }
  if (!BenchBesideDialog()) {
    return false;
  }
  if (step.op == Op::kBenchExpect) {
    std::vector<std::wstring> lines;
    const auto check = [&]() -> bool {
      if (!ListLines(GetDlgItem(bench, kBenchList), &lines)) {
        seen_ = "the bench list did not answer";
        return false;
      }
      const auto index = static_cast<std::size_t>(step.number);
      seen_ = index < lines.size() ? Quote(lines[index]) : Join(lines);
      return index < lines.size() && lines[index].find(step.args[1]) != std::wstring::npos;
    };
    if (!WaitUntil(check)) {
      return Fail("camera " + std::to_string(step.number) + " of the bench does not show " +
                  Quote(step.args[1]));
    }
    return true;
  }
  std::wstring command;
  for (const std::wstring& word : step.args) {
    command += (command.empty() ? L"" : L" ") + word;
  }
  COPYDATASTRUCT data = {};
  data.dwData = kBenchCommandTag;
  data.cbData = static_cast<DWORD>(command.size() * sizeof(wchar_t));
  data.lpData = &command[0];
  DWORD_PTR result = 0;
  if (SendMessageTimeoutW(bench, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                          timeoutMs_, &result) == 0) {
    return Fail("the bench did not answer");
  }
  if (result == 0) {
    std::wstring status;
    ReadText(GetDlgItem(bench, kBenchStatus), &status);
    return Fail("the bench refused: " + Narrow(status));
  }
  return true;
}

}  // namespace veltra::e2e
