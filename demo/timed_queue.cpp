#include "demo/timed_queue.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace veltra::demo {

namespace {
// The longest real wait between two looks at the clock: a stop is noticed within this time.
constexpr std::chrono::milliseconds kLongestWait{50};
}  // namespace

TimedQueue::TimedQueue(sim::VirtualClock& clock) : clock_(clock) {
  thread_ = std::thread([this] { Run(); });
}

TimedQueue::~TimedQueue() {
  Stop();
}

void TimedQueue::Push(std::uint32_t delayMs, std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
      return;
    }
    lastDue_ = std::max(lastDue_, clock_.NowMs() + delayMs);
    items_.push_back(Item{lastDue_, std::move(task)});
  }
  wake_.notify_one();
}

void TimedQueue::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    items_.clear();
  }
  wake_.notify_one();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
    thread_.join();
  }
}

std::size_t TimedQueue::Pending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return items_.size();
}

void TimedQueue::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    if (items_.empty()) {
      wake_.wait(lock);
      continue;
    }
    const std::uint64_t now = clock_.NowMs();
    const std::uint64_t due = items_.front().due;
    if (now < due) {
      if (clock_.instant()) {
        // A virtual clock only moves when someone waits on it: this queue is that someone.
        clock_.Advance(due - now);
        continue;
      }
      const std::chrono::duration<double, std::milli> real(static_cast<double>(due - now) /
                                                           clock_.speed());
      wake_.wait_for(lock, std::min(std::chrono::duration_cast<std::chrono::milliseconds>(real) +
                                        std::chrono::milliseconds(1),
                                    kLongestWait));
      continue;
    }
    std::function<void()> task = std::move(items_.front().task);
    items_.pop_front();
    lock.unlock();
    task();
    lock.lock();
  }
}

}  // namespace veltra::demo
