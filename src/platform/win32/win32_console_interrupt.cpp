#include "platform/win32/win32_console_interrupt.h"

// clang-format off
#include "platform/win32/win32_windows.h"
// clang-format on

namespace veltra {

namespace {

std::atomic<bool> g_interrupted{false};

// Runs on a thread Windows starts for it. TRUE: handled, the process is not ended at once (on
// closing the console Windows still ends it a few seconds later; the report written after each
// camera is whole all the same).
BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      g_interrupted = true;
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

const std::atomic<bool>& InstallConsoleInterrupt() {
  static const bool installed = SetConsoleCtrlHandler(&OnConsoleEvent, TRUE) != FALSE;
  (void)installed;
  return g_interrupted;
}

}  // namespace veltra
