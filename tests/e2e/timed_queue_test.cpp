// The demo's delayed work (cameras coming back, notifications arriving) and its time scaling. Both
// run on the program's clock; the tests use the bench's instant clock, so nothing here depends on
// how fast the machine is.
#include "demo/timed_queue.cpp"  // NOLINT(bugprone-suspicious-include)

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "demo/scaled_time.h"

namespace veltra::demo {
namespace {

// Collects what ran, with the program time it ran at.
class Recorder {
 public:
  explicit Recorder(sim::VirtualClock& clock) : clock_(clock) {}
  std::function<void()> Task(int id) {
    return [this, id] {
      std::lock_guard<std::mutex> lock(mutex_);
      runs_.push_back({id, clock_.NowMs()});
      done_.notify_all();
    };
  }
  std::vector<std::pair<int, std::uint64_t>> WaitFor(std::size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait_for(lock, std::chrono::seconds(10), [&] { return runs_.size() >= count; });
    return runs_;
  }

 private:
  sim::VirtualClock& clock_;
  std::mutex mutex_;
  std::condition_variable done_;
  std::vector<std::pair<int, std::uint64_t>> runs_;
};

TEST(DemoTimedQueue, RunsInQueueOrderNotBeforeItsTime) {
  sim::VirtualClock clock(0.0);
  Recorder recorder(clock);
  TimedQueue queue(clock);
  const std::uint64_t start = clock.NowMs();
  queue.Push(3000, recorder.Task(1));
  // Queued later with a shorter delay: a notification never overtakes an earlier one.
  queue.Push(1000, recorder.Task(2));
  queue.Push(5000, recorder.Task(3));
  const auto runs = recorder.WaitFor(3);
  ASSERT_EQ(runs.size(), 3u);
  const std::uint64_t notBefore[] = {start + 3000, start + 3000, start + 5000};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(runs[i].first, i + 1);
    EXPECT_GE(runs[i].second, notBefore[i]) << i;
  }
  EXPECT_EQ(queue.Pending(), 0u);
}

TEST(DemoTimedQueue, StopDropsWhatWaitsAndRefusesMore) {
  sim::VirtualClock clock(1.0);  // real time: an hour's delay never comes during the test
  Recorder recorder(clock);
  TimedQueue queue(clock);
  queue.Push(3600000, recorder.Task(1));
  EXPECT_EQ(queue.Pending(), 1u);
  queue.Stop();
  EXPECT_EQ(queue.Pending(), 0u);
  queue.Push(0, recorder.Task(2));
  EXPECT_EQ(queue.Pending(), 0u);
  queue.Stop();  // twice is harmless
  EXPECT_TRUE(recorder.WaitFor(0).empty());
}

TEST(DemoScaledTime, ProgramTimeToRealTime) {
  struct Case {
    double speed;
    std::uint32_t programMs;
    std::uint32_t realMs;
  };
  const Case cases[] = {
      {20.0, 180000, 9000},                     // the Warning dialog's time-out
      {20.0, 1, 1},                             // never 0: a timer of 0 would spin
      {20.0, 0, 0},                             // a zero wait stays a poll
      {20.0, kInfiniteMs, kInfiniteMs},         // an infinite wait stays infinite
      {0.5, 1000, 2000},                        // slower than real time
      {0.1, kInfiniteMs - 1, kInfiniteMs - 1},  // never turns into an infinite wait
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RealMs(c.programMs, c.speed), c.realMs) << c.programMs << " at " << c.speed;
  }
}

}  // namespace
}  // namespace veltra::demo
