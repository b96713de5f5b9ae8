#include "platform/win32/win32_system.h"

#include <atomic>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <utility>

#include "platform/win32/adapter_helpers.h"
#include "platform/win32/win32_handle.h"
#include "platform/win32/win32_windows.h"

namespace veltra {

namespace {

// The exit code a thread reports when its body let an exception out. The program's own threads
// catch everything themselves; this only keeps a stray exception from ending the process.
constexpr DWORD kThreadEndedByException = 0x20000011;

std::atomic<int> g_runningThreads{0};
std::atomic<std::uint64_t> g_accessRefusals{0};

// Counts the thread as running until its body has returned, however it ends.
struct RunningThread {
  RunningThread() = default;
  RunningThread(const RunningThread&) = delete;
  RunningThread& operator=(const RunningThread&) = delete;
  ~RunningThread() { --g_runningThreads; }
};

DWORD WINAPI ThreadStart(LPVOID parameter) {
  const RunningThread running;  // counted by StartThread before the thread could start
  // The start block belongs to the thread from here on.
  std::unique_ptr<std::function<std::uint32_t()>> body(
      static_cast<std::function<std::uint32_t()>*>(parameter));
  try {
    const std::uint32_t code = (*body)();
    // STILL_ACTIVE as an exit code would make a finished thread look running; the bench reports
    // such a thread as ended with 0, and so does this adapter.
    return code == kStillActive ? 0 : code;
  } catch (...) {
    ::OutputDebugStringW(L"Thread ended by an exception\r\n");
    return kThreadEndedByException;
  }
}

}  // namespace

void Win32System::Sleep(std::uint32_t ms) {
  ::Sleep(ms);
}

std::uint64_t Win32System::NowMs() {
  return ::GetTickCount64();
}

void Win32System::DebugOutput(const wchar_t* text) {
  if (text == nullptr) {
    return;
  }
  ::OutputDebugStringW(text);
  const std::lock_guard<std::mutex> lock(traceMutex_);
  if (traceFile_ == nullptr) {
    return;
  }
  const int length = ::lstrlenW(text);
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) {
    return;
  }
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, length, &utf8[0], bytes, nullptr, nullptr);
  std::fwrite(utf8.data(), 1, utf8.size(), traceFile_);
  std::fflush(traceFile_);  // whole up to the last line, even when the console is closed
}

void Win32System::CopyTraceTo(std::FILE* file) {
  const std::lock_guard<std::mutex> lock(traceMutex_);
  traceFile_ = file;
}

int Win32System::RunningThreads() {
  return g_runningThreads.load();
}

void NoteOpenFailure() {
  if (::GetLastError() == ERROR_ACCESS_DENIED) {
    ++g_accessRefusals;
  }
}

std::uint64_t AccessRefusals() {
  return g_accessRefusals.load();
}

std::uint32_t Win32System::GetLastError() {
  return ::GetLastError();
}

void Win32System::SetLastError(std::uint32_t code) {
  ::SetLastError(code);
}

Handle Win32System::StartThread(std::function<std::uint32_t()> body) {
  auto block = std::make_unique<std::function<std::uint32_t()>>(std::move(body));
  ++g_runningThreads;
  HANDLE thread = ::CreateThread(nullptr, 0, ThreadStart, block.get(), 0, nullptr);
  if (thread == nullptr) {
    const DWORD error = ::GetLastError();
    --g_runningThreads;
    ::SetLastError(error);
    return kNullHandle;  // the block is freed here; CreateThread left the last error
  }
  block.release();  // NOLINT(bugprone-unused-return-value): ThreadStart owns it now
  return FromWin32(thread);
}

std::uint32_t Win32System::WaitThread(Handle thread, std::uint32_t timeoutMs) {
  return ::WaitForSingleObject(ToWin32(thread), timeoutMs);
}

std::uint32_t Win32System::ThreadExitCode(Handle thread) {
  DWORD code = 0;
  if (::GetExitCodeThread(ToWin32(thread), &code) == FALSE) {
    return 0;  // an unknown handle has no running thread behind it
  }
  return code;
}

void Win32System::CloseThread(Handle thread) {
  if (thread != kNullHandle) {
    ::CloseHandle(ToWin32(thread));
  }
}

Handle Win32System::CreateEventObject(bool manualReset, bool initialState, const wchar_t* name) {
  return FromWin32(
      ::CreateEventW(nullptr, manualReset ? TRUE : FALSE, initialState ? TRUE : FALSE, name));
}

bool Win32System::SetEventObject(Handle event) {
  return ::SetEvent(ToWin32(event)) != FALSE;
}

bool Win32System::ResetEventObject(Handle event) {
  return ::ResetEvent(ToWin32(event)) != FALSE;
}

std::uint32_t Win32System::WaitForObject(Handle event, std::uint32_t timeoutMs) {
  return ::WaitForSingleObject(ToWin32(event), timeoutMs);
}

void Win32System::CloseEventObject(Handle event) {
  if (event != kNullHandle) {
    ::CloseHandle(ToWin32(event));
  }
}

std::uint32_t Win32System::GetModuleFileName(wchar_t* buffer, std::size_t chars) {
  if (buffer == nullptr || chars == 0) {
    return 0;
  }
  const std::size_t usable =
      chars < std::numeric_limits<DWORD>::max() ? chars : std::numeric_limits<DWORD>::max();
  const DWORD reported = ::GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(usable));
  return FinishModulePath(buffer, usable, reported);
}

std::uint32_t Win32System::GetFileAttributes(const wchar_t* path) {
  if (path == nullptr) {
    return kInvalidFileAttributes;
  }
  return ::GetFileAttributesW(path);
}

std::FILE* Win32System::OpenFile(const wchar_t* path, const char* mode) {
  wchar_t wideMode[kMaxFileModeChars + 1];
  if (path == nullptr || !WidenMode(mode, wideMode, kMaxFileModeChars + 1)) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return ::_wfopen(path, wideMode);
}

}  // namespace veltra
