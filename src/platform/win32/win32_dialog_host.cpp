#include "platform/win32/win32_dialog_host.h"

#include <algorithm>

#include "platform/win32/win32_system.h"
#include "platform/win32/win32_windows.h"

namespace veltra {

std::uint64_t Win32DialogHost::NowMs() {
  return GetTickCount64();
}

int Win32DialogHost::RunningThreads() {
  return Win32System::RunningThreads();
}

void Win32DialogHost::TakeDeviceChanges(std::deque<DeviceChange>* into) {
  window_.Take(into);
}

void Win32DialogHost::WaitUntil(std::uint64_t dueMs) {
  const std::uint64_t now = NowMs();
  if (dueMs > now) {
    // A slice at a time: the dialog looks at what the program's threads sent in between.
    window_.Wait(static_cast<std::uint32_t>(std::min<std::uint64_t>(dueMs - now, kWaitSliceMs)));
  }
}

bool Win32DialogHost::AwaitDeviceChange(std::uint32_t ms) {
  const std::uint64_t deadline = NowMs() + ms;
  for (std::uint64_t now = NowMs(); now < deadline; now = NowMs()) {
    if (window_.Wait(static_cast<std::uint32_t>(std::min<std::uint64_t>(deadline - now, ms)))) {
      return true;
    }
  }
  return false;
}

}  // namespace veltra
