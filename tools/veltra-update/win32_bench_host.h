// The demo build's host of the window-less dialog: the bench's clock and threads, and the bench's
// device changes handed through veltra-update.exe's own hidden window as the WM_DEVICECHANGE
// Windows would send, so that a run under Wine goes through the product's device window.
#pragma once

#include <deque>

#include "console-dialog/console_dialog.h"
#include "platform/win32/win32_device_window.h"

namespace veltra::update_bench {

class Win32BenchHost : public bench::BenchDialogHost {
 public:
  using BenchDialogHost::BenchDialogHost;

  void TakeDeviceChanges(std::deque<DeviceChange>* into) override {
    std::deque<DeviceChange> fromBench;
    BenchDialogHost::TakeDeviceChanges(&fromBench);
    for (const DeviceChange& change : fromBench) {
      window_.Deliver(change);
    }
    window_.Take(into);
  }
  // Windows has no notion of the bench's cameras; the registration is made as the product makes
  // it, and the bench's changes come whatever Wine answers.
  bool RegisterDeviceNotification(DeviceInterfaceClass cls) override {
    window_.Register(cls);
    return true;
  }

 private:
  Win32DeviceWindow window_;
};

}  // namespace veltra::update_bench
