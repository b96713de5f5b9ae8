// System port: clock and sleep, threads, events, the debug channel, last-error code, the
// executable's path and file access. The Windows adapter maps each call to its Win32 function;
// the bench runs the clock virtually so that a ten-second wait costs no real time.
#pragma once

#include <cstdio>
#include <functional>

#include "platform/types.h"

namespace veltra {

// Results of WaitForObject, as WaitForSingleObject reports them.
constexpr std::uint32_t kWaitObject0 = 0;
constexpr std::uint32_t kWaitTimeout = 258;
constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;
constexpr std::uint32_t kWaitInfinite = 0xFFFFFFFF;
constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFF;
constexpr std::uint32_t kStillActive = 259;

class System {
 public:
  virtual ~System() = default;

  // Clock: milliseconds on the program's clock (virtual on the bench).
  virtual void Sleep(std::uint32_t ms) = 0;
  virtual std::uint64_t NowMs() = 0;

  // The system debugger channel (OutputDebugStringW).
  virtual void DebugOutput(const wchar_t* text) = 0;

  // The calling thread's last-error code.
  virtual std::uint32_t GetLastError() = 0;
  virtual void SetLastError(std::uint32_t code) = 0;

  // Threads. StartThread returns kNullHandle when no thread could be created. The body's result
  // is the thread's exit code.
  virtual Handle StartThread(std::function<std::uint32_t()> body) = 0;
  // Waits for the thread to end (bounded by timeoutMs on the program's clock where the adapter can).
  virtual std::uint32_t WaitThread(Handle thread, std::uint32_t timeoutMs) = 0;
  // Exit code of a thread, kStillActive while it runs.
  virtual std::uint32_t ThreadExitCode(Handle thread) = 0;
  virtual void CloseThread(Handle thread) = 0;

  // Events (CreateEventW / SetEvent / ResetEvent / WaitForSingleObject / CloseHandle).
  virtual Handle CreateEventObject(bool manualReset, bool initialState, const wchar_t* name) = 0;
  virtual bool SetEventObject(Handle event) = 0;
  virtual bool ResetEventObject(Handle event) = 0;
  virtual std::uint32_t WaitForObject(Handle event, std::uint32_t timeoutMs) = 0;
  virtual void CloseEventObject(Handle event) = 0;

  // GetModuleFileNameW(NULL): the running executable's full path, cut to fit and terminated.
  // Returns the number of characters written (0 on failure).
  virtual std::uint32_t GetModuleFileName(wchar_t* buffer, std::size_t chars) = 0;

  // GetFileAttributesW; kInvalidFileAttributes when the path does not exist.
  virtual std::uint32_t GetFileAttributes(const wchar_t* path) = 0;

  // _wfopen: opens a file by its wide path with a C stdio mode ("rb"). nullptr on failure.
  virtual std::FILE* OpenFile(const wchar_t* path, const char* mode) = 0;
};

}  // namespace veltra
