// The System port on Windows: each call is the Win32 function of the same purpose.
#pragma once

#include <cstdio>
#include <mutex>

#include "platform/system.h"

namespace veltra {

class Win32System : public System {
 public:
  // The threads started by StartThread whose body has not returned yet (any adapter's).
  static int RunningThreads();
  // From now on the trace (DebugOutput) is also written to file, in UTF-8, one call after the
  // other; nullptr stops it. The caller keeps the file open while it is set.
  void CopyTraceTo(std::FILE* file);

  void Sleep(std::uint32_t ms) override;
  std::uint64_t NowMs() override;
  void DebugOutput(const wchar_t* text) override;
  std::uint32_t GetLastError() override;
  void SetLastError(std::uint32_t code) override;
  Handle StartThread(std::function<std::uint32_t()> body) override;
  std::uint32_t WaitThread(Handle thread, std::uint32_t timeoutMs) override;
  std::uint32_t ThreadExitCode(Handle thread) override;
  void CloseThread(Handle thread) override;
  Handle CreateEventObject(bool manualReset, bool initialState, const wchar_t* name) override;
  bool SetEventObject(Handle event) override;
  bool ResetEventObject(Handle event) override;
  std::uint32_t WaitForObject(Handle event, std::uint32_t timeoutMs) override;
  void CloseEventObject(Handle event) override;
  std::uint32_t GetModuleFileName(wchar_t* buffer, std::size_t chars) override;
  std::uint32_t GetFileAttributes(const wchar_t* path) override;
  std::FILE* OpenFile(const wchar_t* path, const char* mode) override;

 private:
  std::mutex traceMutex_;
  std::FILE* traceFile_ = nullptr;
};

// Opening a device as a file: when Windows refused access (ERROR_ACCESS_DENIED, the last error
// after the open failed), the refusal is counted. The console program reads the count to tell a
// user that an elevated prompt is needed.
void NoteOpenFailure();
std::uint64_t AccessRefusals();

}  // namespace veltra
