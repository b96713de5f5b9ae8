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
  // A thread's sleep may end early against the clock: a sleep shorter than the system's tick is
  // cut to whole milliseconds (mingw's sleep_for under Windows), and Windows' Sleep may return
  // just before its tick. The program asked for at least ms on its clock, and the bench's cameras
  // judge its pauses on that clock, so the sleep lasts until the clock shows them passed.
  const auto until = std::chrono::steady_clock::now() +
                     std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                         std::chrono::duration<double, std::milli>(ms / speed_));
  for (auto now = std::chrono::steady_clock::now(); now < until;
       now = std::chrono::steady_clock::now()) {
    std::this_thread::sleep_for(until - now);
  }
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
