// The demo's System and DialogView ports: the product's Windows adapters, with the program's clock
// taken from the bench so that the demo can run faster than real time. Threads, events, files, the
// debug channel and every window stay real.
#pragma once

#include "platform/win32/win32_dialog.h"
#include "platform/win32/win32_system.h"
#include "sim/virtual_clock.h"

namespace veltra::demo {

class DemoSystem : public Win32System {
 public:
  explicit DemoSystem(sim::VirtualClock& clock) : clock_(clock) {}

  void Sleep(std::uint32_t ms) override;
  std::uint64_t NowMs() override;
  std::uint32_t WaitThread(Handle thread, std::uint32_t timeoutMs) override;
  std::uint32_t WaitForObject(Handle event, std::uint32_t timeoutMs) override;

 private:
  sim::VirtualClock& clock_;
};

class DemoDialogView : public Win32DialogView {
 public:
  explicit DemoDialogView(double speed) : speed_(speed) {}

  // The dialog's timers (blinking texts, the 60 s and 180 s time-outs) on the program's clock.
  void SetTimer(int id, std::uint32_t periodMs) override;

 private:
  double speed_;
};

}  // namespace veltra::demo
