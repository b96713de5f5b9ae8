#include "sim/virtual_clock.h"

#include <thread>

namespace veltra::sim {

VirtualClock::VirtualClock(double speed) : speed_(speed), start_(std::chrono::steady_clock::now()) {}

std::uint64_t VirtualClock::NowMs() const {
  if (instant()) return virtualMs_.load();
  const auto real = std::chrono::steady_clock::now() - start_;
  const double ms = std::chrono::duration<double, std::milli>(real).count() * speed_;
  return static_cast<std::uint64_t>(ms);
}

void VirtualClock::Sleep(std::uint32_t ms) {
  if (instant()) {
    virtualMs_ += ms;
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms / speed_));
}

void VirtualClock::Advance(std::uint64_t ms) {
  if (instant()) virtualMs_ += ms;
}

}  // namespace veltra::sim
