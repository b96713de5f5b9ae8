// The bench's System port: the virtual clock, std::thread threads, condition-variable events,
// the captured debug trace, a per-thread last-error code and files on the host file system.
//
// Paths: the logic works with Windows-form paths. The bench reports the executable as living in a
// host folder written with backslashes; OpenFile and GetFileAttributes turn backslashes back into
// slashes, so "<dir>\bootloader.img" opens <dir>/bootloader.img.
#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/system.h"
#include "sim/virtual_clock.h"

namespace veltra::sim {

class SimSystem : public System {
 public:
  explicit SimSystem(VirtualClock& clock);
  ~SimSystem() override;

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

  // ---- bench controls ----
  // The folder the executable is reported in (a host folder); the reported path is
  // "<folder>\Veltra_FW_Updater.exe" with every slash written as a backslash.
  void SetExecutableFolder(const std::string& hostFolder);
  // Captured trace, in the order written. Each entry is one DebugOutput call.
  std::vector<std::wstring> TraceLines() const;
  bool TraceContains(const std::wstring& fragment) const;
  void ClearTrace();
  // Echo the trace to stderr as it is written (also enabled by VELTRA_TRACE=1).
  void SetTraceEcho(bool echo) { echo_ = echo; }
  // Makes the next StartThread calls fail (thread creation failure paths).
  void SetFailThreadCreation(bool fail) { failThreads_ = fail; }
  // Joins every thread started so far (tests call it before they look at the outcome).
  void JoinAllThreads();
  // Number of threads started and not yet finished.
  int RunningThreads() const;
  // Of those, how many wait without a time-out for an event nobody has set yet: they move only
  // when another thread (the dialog, a device notification) sets it.
  int BlockedThreads() const;

  static std::string HostPath(const wchar_t* windowsPath);

 private:
  struct ThreadRecord {
    std::thread thread;
    std::atomic<std::uint32_t> exitCode{kStillActive};
  };
  struct EventRecord {
    std::mutex mutex;
    std::condition_variable cv;
    bool manualReset = true;
    bool signalled = false;
    int waiters = 0;  // program threads in an endless wait on it
  };

  std::shared_ptr<ThreadRecord> FindThread(Handle h) const;
  std::shared_ptr<EventRecord> FindEvent(Handle h) const;

  VirtualClock& clock_;
  mutable std::mutex mutex_;
  std::map<Handle, std::shared_ptr<ThreadRecord>> threads_;
  std::map<Handle, std::shared_ptr<EventRecord>> events_;
  Handle nextHandle_ = 0x1000;
  std::vector<std::wstring> trace_;
  std::wstring exePath_;
  bool echo_ = false;
  std::atomic<bool> failThreads_{false};
};

}  // namespace veltra::sim
