// Program time to real time at the demo's speed factor. The program's clock runs at real time
// times the speed; its waits, time-outs and dialog timers are shortened by the same factor so that
// a three-minute time-out on a clock twenty times as fast lasts nine seconds.
#pragma once

#include <cmath>
#include <cstdint>

namespace veltra::demo {

constexpr std::uint32_t kInfiniteMs = 0xFFFFFFFF;

// An infinite wait stays infinite and a zero wait stays zero; any other wait lasts at least 1 ms,
// so that a timer never turns into a busy loop and keeps its order against longer ones.
inline std::uint32_t RealMs(std::uint32_t programMs, double speed) {
  if (programMs == kInfiniteMs || programMs == 0 || !(speed > 0.0)) {
    return programMs;
  }
  const double real = std::ceil(static_cast<double>(programMs) / speed);
  if (real >= static_cast<double>(kInfiniteMs - 1)) {
    return kInfiniteMs - 1;
  }
  return real < 1.0 ? 1 : static_cast<std::uint32_t>(real);
}

}  // namespace veltra::demo
