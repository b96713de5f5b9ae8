// The program's clock on the bench. In instant mode a Sleep advances the clock at once, so a
// ten-second verify wait or a three-minute dialog timeout costs no real time; in scaled mode the
// clock follows real time multiplied by a speed factor (the demo runs at 1x).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace veltra::sim {

class VirtualClock {
 public:
  // speed 0 = instant (virtual); speed > 0 = real time times speed.
  explicit VirtualClock(double speed = 0.0);

  std::uint64_t NowMs() const;
  void Sleep(std::uint32_t ms);
  // Moves the clock forward without sleeping (instant mode only; a no-op when scaled).
  void Advance(std::uint64_t ms);
  bool instant() const { return speed_ <= 0.0; }
  double speed() const { return speed_; }

 private:
  double speed_;
  std::atomic<std::uint64_t> virtualMs_{0};
  std::chrono::steady_clock::time_point start_;
};

}  // namespace veltra::sim
