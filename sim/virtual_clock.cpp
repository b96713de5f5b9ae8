#include "sim/virtual_clock.h"

#include <thread>
#include <utility>

namespace veltra::sim {

VirtualClock::VirtualClock(double speed)
    : speed_(speed), start_(std::chrono::steady_clock::now()) {}

std::uint64_t VirtualClock::NowMs() const {
  if (instant()) {
    return virtualMs_.load();
  }
  const auto real = std::chrono::steady_clock::now() - start_;
  const double ms = std::chrono::duration<double, std::milli>(real).count() * speed_;
  return static_cast<std::uint64_t>(ms);
}

void VirtualClock::Sleep(std::uint32_t ms) {
  if (instant()) {
    virtualMs_ += ms;
    std::this_thread::yield();
    Moved();
    return;
  }
  std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms / speed_));
}

void VirtualClock::Advance(std::uint64_t ms) {
  if (!instant()) {
    return;
  }
  virtualMs_ += ms;
  Moved();
}

void VirtualClock::AdvanceTo(std::uint64_t atMs) {
  if (!instant()) {
    return;
  }
  std::uint64_t now = virtualMs_.load();
  while (now < atMs && !virtualMs_.compare_exchange_weak(now, atMs)) {
  }
  Moved();
}

void VirtualClock::SetListener(Listener listener) {
  std::lock_guard<std::mutex> lock(listenerMutex_);
  listener_ = listener ? std::make_shared<const Listener>(std::move(listener)) : nullptr;
}

void VirtualClock::Moved() {
  std::shared_ptr<const Listener> listener;
  {
    std::lock_guard<std::mutex> lock(listenerMutex_);
    listener = listener_;
  }
  if (listener) {
    (*listener)();
  }
}

}  // namespace veltra::sim
