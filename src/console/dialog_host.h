// What the window-less dialog (console_dialog.h) needs from where it runs: the program's clock,
// how many of the program's threads still run, and the device changes the system reports. The
// bench runs it on the virtual clock with the bench's threads and device changes; veltra-update.exe
// on the real clock, with a hidden window of its own registered for the dialog's notifications.
// Every call comes from the dialog thread.
#pragma once

#include <cstdint>
#include <deque>

#include "platform/device_discovery.h"

namespace veltra::console {

class DialogHost {
 public:
  virtual ~DialogHost() = default;
  // Milliseconds on the program's clock (the dialog's timers run on it).
  virtual std::uint64_t NowMs() = 0;
  // The program's threads that have not ended yet.
  virtual int RunningThreads() = 0;
  // Appends the device changes reported since the last call, oldest first.
  virtual void TakeDeviceChanges(std::deque<DeviceChange>* into) = 0;
  // Nothing but a timer due at dueMs is left to happen. The bench's clock moves there at once;
  // the real clock is waited on, a slice at a time, and a device change ends the wait early.
  virtual void WaitUntil(std::uint64_t dueMs) = 0;
  // Waits up to ms for a device change, after the program came to rest (a camera that was told
  // to restart comes back on its own time). False when none came. The bench's changes come with
  // the program's own steps, so it never waits.
  virtual bool AwaitDeviceChange(std::uint32_t ms) = 0;
  // Real-time bound on one wait of the dialog for the program to come to rest.
  virtual std::uint32_t RestLimitMs() = 0;
  // The dialog's start registers for device notifications of one interface class.
  virtual bool RegisterDeviceNotification(DeviceInterfaceClass cls) = 0;
};

}  // namespace veltra::console
