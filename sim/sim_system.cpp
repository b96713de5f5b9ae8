#include "sim/sim_system.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

namespace veltra::sim {

namespace {
thread_local std::uint32_t t_lastError = 0;
// Set on the threads the program started (not the test's or the dialog's own).
thread_local bool t_programThread = false;

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    // Host paths on the bench are ASCII; anything else is replaced rather than mis-encoded.
    out.push_back((static_cast<std::uint32_t>(c) < 0x80) ? static_cast<char>(c) : '?');
  }
  return out;
}
}  // namespace

SimSystem::SimSystem(VirtualClock& clock) : clock_(clock) {
  const char* echo = std::getenv("VELTRA_TRACE");
  echo_ = echo != nullptr && echo[0] == '1';
  SetExecutableFolder("/tmp");
}

SimSystem::~SimSystem() {
  JoinAllThreads();
}

void SimSystem::Sleep(std::uint32_t ms) {
  clock_.Sleep(ms);
}
std::uint64_t SimSystem::NowMs() {
  return clock_.NowMs();
}

void SimSystem::DebugOutput(const wchar_t* text) {
  if (text == nullptr) {
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  trace_.emplace_back(text);
  if (echo_) {
    std::cerr << Narrow(text);
  }
}

std::uint32_t SimSystem::GetLastError() {
  return t_lastError;
}
void SimSystem::SetLastError(std::uint32_t code) {
  t_lastError = code;
}

Handle SimSystem::StartThread(std::function<std::uint32_t()> body) {
  if (failThreads_) {
    return kNullHandle;
  }
  auto record = std::make_shared<ThreadRecord>();
  Handle handle;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    handle = nextHandle_++;
    threads_[handle] = record;
  }
  ThreadRecord* raw = record.get();
  raw->thread = std::thread([raw, body = std::move(body)]() {
    t_programThread = true;
    const std::uint32_t code = body();
    raw->exitCode = code == kStillActive ? 0 : code;
  });
  return handle;
}

std::shared_ptr<SimSystem::ThreadRecord> SimSystem::FindThread(Handle h) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = threads_.find(h);
  return it == threads_.end() ? nullptr : it->second;
}

std::uint32_t SimSystem::WaitThread(Handle thread, std::uint32_t /*timeoutMs*/) {
  auto record = FindThread(thread);
  if (!record) {
    return kWaitFailed;
  }
  if (record->thread.joinable() && record->thread.get_id() != std::this_thread::get_id()) {
    record->thread.join();
  }
  return kWaitObject0;
}

std::uint32_t SimSystem::ThreadExitCode(Handle thread) {
  auto record = FindThread(thread);
  return record ? record->exitCode.load() : 0;
}

void SimSystem::CloseThread(Handle /*thread*/) {
  // The record stays until JoinAllThreads: a closed handle does not end the thread, as on Windows.
}

void SimSystem::JoinAllThreads() {
  for (;;) {
    std::vector<std::shared_ptr<ThreadRecord>> pending;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (auto& entry : threads_) {
        if (entry.second->thread.joinable()) {
          pending.push_back(entry.second);
        }
      }
    }
    if (pending.empty()) {
      return;
    }
    for (auto& record : pending) {
      if (record->thread.joinable() && record->thread.get_id() != std::this_thread::get_id()) {
        record->thread.join();
      }
    }
  }
}

int SimSystem::RunningThreads() const {
  std::lock_guard<std::mutex> lock(mutex_);
  int running = 0;
  for (const auto& entry : threads_) {
    if (entry.second->exitCode.load() == kStillActive) {
      ++running;
    }
  }
  return running;
}

int SimSystem::BlockedThreads() const {
  std::vector<std::shared_ptr<EventRecord>> events;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& entry : events_) {
      events.push_back(entry.second);
    }
  }
  int blocked = 0;
  for (const auto& record : events) {
    std::lock_guard<std::mutex> lock(record->mutex);
    // The waiters of a set event are on their way out of the wait: they count as running.
    blocked += record->signalled ? 0 : record->waiters;
  }
  return blocked;
}

Handle SimSystem::CreateEventObject(bool manualReset, bool initialState, const wchar_t* /*name*/) {
  auto record = std::make_shared<EventRecord>();
  record->manualReset = manualReset;
  record->signalled = initialState;
  std::lock_guard<std::mutex> lock(mutex_);
  const Handle handle = nextHandle_++;
  events_[handle] = record;
  return handle;
}

std::shared_ptr<SimSystem::EventRecord> SimSystem::FindEvent(Handle h) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = events_.find(h);
  return it == events_.end() ? nullptr : it->second;
}

bool SimSystem::SetEventObject(Handle event) {
  auto record = FindEvent(event);
  if (!record) {
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(record->mutex);
    record->signalled = true;
  }
  record->cv.notify_all();
  return true;
}

bool SimSystem::ResetEventObject(Handle event) {
  auto record = FindEvent(event);
  if (!record) {
    return false;
  }
  std::lock_guard<std::mutex> lock(record->mutex);
  record->signalled = false;
  return true;
}

std::uint32_t SimSystem::WaitForObject(Handle event, std::uint32_t timeoutMs) {
  auto record = FindEvent(event);
  if (!record) {
    return kWaitFailed;
  }
  std::unique_lock<std::mutex> lock(record->mutex);
  if (timeoutMs == kWaitInfinite) {
    const int waiting = t_programThread ? 1 : 0;
    record->waiters += waiting;
    record->cv.wait(lock, [&] { return record->signalled; });
    record->waiters -= waiting;
  } else if (!record->signalled) {
    // Finite waits pass on the program's clock: instantly in instant mode.
    lock.unlock();
    clock_.Sleep(timeoutMs);
    lock.lock();
    if (!record->signalled) {
      return kWaitTimeout;
    }
  }
  if (!record->manualReset) {
    record->signalled = false;
  }
  return kWaitObject0;
}

void SimSystem::CloseEventObject(Handle event) {
  std::lock_guard<std::mutex> lock(mutex_);
  events_.erase(event);
}

std::uint32_t SimSystem::GetModuleFileName(wchar_t* buffer, std::size_t chars) {
  if (buffer == nullptr || chars == 0) {
    return 0;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  std::size_t i = 0;
  for (; i + 1 < chars && i < exePath_.size(); ++i) {
    buffer[i] = exePath_[i];
  }
  buffer[i] = L'\0';
  return static_cast<std::uint32_t>(i);
}

void SimSystem::SetExecutableFolder(const std::string& hostFolder) {
  std::wstring path(hostFolder.begin(), hostFolder.end());
  path += L"/Veltra_FW_Updater.exe";
  for (auto& c : path) {
    if (c == L'/') {
      c = L'\\';
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  exePath_ = path;
}

std::string SimSystem::HostPath(const wchar_t* windowsPath) {
  std::string out = Narrow(windowsPath == nullptr ? std::wstring() : std::wstring(windowsPath));
  for (auto& c : out) {
    if (c == '\\') {
      c = '/';
    }
  }
  return out;
}

std::uint32_t SimSystem::GetFileAttributes(const wchar_t* path) {
  struct stat info {};
  if (::stat(HostPath(path).c_str(), &info) != 0) {
    return kInvalidFileAttributes;
  }
  return S_ISDIR(info.st_mode) ? 0x10u : 0x80u;  // FILE_ATTRIBUTE_DIRECTORY / _NORMAL
}

std::FILE* SimSystem::OpenFile(const wchar_t* path, const char* mode) {
  const std::string host = HostPath(path);
  struct stat info {};
  // fopen succeeds on a directory on some hosts; Windows refuses it, so the bench does too.
  if (::stat(host.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    return nullptr;
  }
  return std::fopen(host.c_str(), mode);
}

std::vector<std::wstring> SimSystem::TraceLines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return trace_;
}

bool SimSystem::TraceContains(const std::wstring& fragment) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& line : trace_) {
    if (line.find(fragment) != std::wstring::npos) {
      return true;
    }
  }
  return false;
}

void SimSystem::ClearTrace() {
  std::lock_guard<std::mutex> lock(mutex_);
  trace_.clear();
}

}  // namespace veltra::sim
