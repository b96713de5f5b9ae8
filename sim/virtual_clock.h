// The program's clock on the bench. In instant mode a Sleep advances the clock at once, so a
// ten-second verify wait or a three-minute dialog timeout costs no real time; in scaled mode the
// clock follows real time multiplied by a speed factor (the demo runs at 1x).
//
// Whatever moves the instant clock (a Sleep, a finite wait, Advance) then runs the listener on
// its own thread: the bench's set points (a camera's return, a device plugged at a given time,
// the delivery of what fell due) happen there, once the clock has passed them.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace veltra::sim {

class VirtualClock {
 public:
  using Listener = std::function<void()>;

  // speed 0 = instant (virtual); speed > 0 = real time times speed.
  explicit VirtualClock(double speed = 0.0);

  std::uint64_t NowMs() const;
  void Sleep(std::uint32_t ms);
  // Moves the clock forward without sleeping (instant mode only; a no-op when scaled).
  void Advance(std::uint64_t ms);
  // Moves the clock to atMs unless it is already there or past it (instant mode only).
  void AdvanceTo(std::uint64_t atMs);
  bool instant() const { return speed_ <= 0.0; }
  double speed() const { return speed_; }
  // Runs after every move of the instant clock, on the thread that moved it (empty: none).
  void SetListener(Listener listener);

 private:
  void Moved();

  double speed_;
  std::atomic<std::uint64_t> virtualMs_{0};
  std::chrono::steady_clock::time_point start_;
  std::mutex listenerMutex_;
  std::shared_ptr<const Listener> listener_;
};

}  // namespace veltra::sim
