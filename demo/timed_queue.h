// A queue of work that runs on its own thread at given times of the program's clock, in the order
// it was queued. The demo delays two things with it, as real hardware does: a camera that
// re-enumerates comes back on the bus a few seconds after it left, and the system tells the
// program about a device change a moment after the bus changed.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "sim/virtual_clock.h"

namespace veltra::demo {

class TimedQueue {
 public:
  explicit TimedQueue(sim::VirtualClock& clock);
  ~TimedQueue();
  TimedQueue(const TimedQueue&) = delete;
  TimedQueue& operator=(const TimedQueue&) = delete;

  // Runs task delayMs of program time from now, and never before a task queued earlier. Ignored
  // once the queue is stopped.
  void Push(std::uint32_t delayMs, std::function<void()> task);
  // Drops what is still waiting and ends the thread; a task that is running finishes first.
  // Must not be called from a task. Stopping twice is harmless.
  void Stop();
  std::size_t Pending() const;

 private:
  struct Item {
    std::uint64_t due = 0;
    std::function<void()> task;
  };
  void Run();

  sim::VirtualClock& clock_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Item> items_;
  std::uint64_t lastDue_ = 0;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace veltra::demo
