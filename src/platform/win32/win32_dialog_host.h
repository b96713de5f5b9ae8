// veltra-update.exe's host of the window-less dialog: the real clock, the threads the System
// port started, and the device changes its hidden window receives. Made on the thread that runs
// the dialog procedures; every call comes from that thread.
#pragma once

#include <cstdint>
#include <deque>

#include "console/dialog_host.h"
#include "platform/win32/win32_device_window.h"

namespace veltra {

class Win32DialogHost : public console::DialogHost {
 public:
  std::uint64_t NowMs() override;
  int RunningThreads() override;
  void TakeDeviceChanges(std::deque<DeviceChange>* into) override;
  void WaitUntil(std::uint64_t dueMs) override;
  bool AwaitDeviceChange(std::uint32_t ms) override;
  std::uint32_t RestLimitMs() override { return kRestLimitMs; }
  bool RegisterDeviceNotification(DeviceInterfaceClass cls) override {
    return window_.Register(cls);
  }

 private:
  // A camera's whole update, its restarts included, ends well within this; a program that has
  // not come to rest by then has taken a wrong turn.
  static constexpr std::uint32_t kRestLimitMs = 30 * 60 * 1000;
  // The longest the thread waits at once without looking at the program's own messages.
  static constexpr std::uint32_t kWaitSliceMs = 50;

  Win32DeviceWindow window_;
};

}  // namespace veltra
