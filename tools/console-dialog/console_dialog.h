// The window-less dialog (console/console_dialog.h) on the virtual camera bench, for veltra-bench,
// veltra-update's bench build and the benchmarks: its timers run on the bench's clock, which jumps
// to a timer when nothing else is left to happen, and the device changes are the bench's.
#pragma once

#include <cstdint>
#include <deque>
#include <ostream>

#include "console/console_dialog.h"
#include "console/dialog_host.h"
#include "sim/sim_discovery.h"
#include "sim/sim_system.h"
#include "sim/virtual_clock.h"

namespace veltra::bench {

using console::Printable;
using console::ProgramSaid;
using console::WhatTheProgramSaid;

// The bench as the dialog's host. The system and the discovery are those of the Settle under way.
class BenchDialogHost : public console::DialogHost {
 public:
  explicit BenchDialogHost(sim::VirtualClock& clock) : clock_(clock) {}

  // A Settle without the discovery leaves the device changes with the bench (a run without the
  // program's start).
  void Use(sim::SimSystem& system, sim::SimDiscovery* discovery) {
    system_ = &system;
    discovery_ = discovery;
  }

  std::uint64_t NowMs() override { return clock_.NowMs(); }
  int RunningThreads() override { return system_ == nullptr ? 0 : system_->RunningThreads(); }
  void TakeDeviceChanges(std::deque<DeviceChange>* into) override;
  void WaitUntil(std::uint64_t dueMs) override;
  bool AwaitDeviceChange(std::uint32_t) override { return false; }
  std::uint32_t RestLimitMs() override { return kRestLimitMs; }
  bool RegisterDeviceNotification(DeviceInterfaceClass) override { return true; }

 private:
  // Real-time bound: a wrong turn of the program ends the run instead of hanging it.
  static constexpr std::uint32_t kRestLimitMs = 120000;

  sim::VirtualClock& clock_;
  sim::SimSystem* system_ = nullptr;
  sim::SimDiscovery* discovery_ = nullptr;
};

// The host comes first, so that it is made before the dialog that uses it.
struct BenchHostHolder {
  explicit BenchHostHolder(sim::VirtualClock& clock) : host(clock) {}
  BenchDialogHost host;
};

class ConsoleDialog : private BenchHostHolder, public console::ConsoleDialog {
 public:
  using Box = console::ConsoleDialog::Box;

  ConsoleDialog(std::ostream& out, bool quiet, sim::VirtualClock& clock)
      : BenchHostHolder(clock), console::ConsoleDialog(out, quiet, host) {}

  // Serves the program's threads until nothing is left to do, and hands the dialog every device
  // change the bench reports when given the discovery. False when the program did not come to
  // rest in time.
  bool Settle(sim::SimSystem& system, sim::SimDiscovery* discovery = nullptr) {
    host.Use(system, discovery);
    return console::ConsoleDialog::Settle();
  }
};

}  // namespace veltra::bench
