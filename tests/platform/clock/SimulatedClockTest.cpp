#include "platform/clock/SimulatedClock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/clock/ClockEvent.h"
#include "platform/clock/ClockThread.h"

namespace quorvane::platform {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// A record of what threads did at which simulated time, in seconds from
// the clock's start.
class Journal {
 public:
  explicit Journal(SimulatedClock& clock) : clock_(clock), start_(clock.Mono()) {}
  void Add(const std::string& what) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto at = std::chrono::duration_cast<milliseconds>(clock_.Mono() - start_).count();
    entries_.push_back(what + "@" + std::to_string(at));
  }
  std::vector<std::string> Entries() {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
  }

 private:
  SimulatedClock& clock_;
  const MonoTime start_;
  std::mutex mutex_;
  std::vector<std::string> entries_;
};

TEST(SimulatedClockTest, AdvanceMovesBothClocksAndSetWallOnlyTheWallClock) {
  SimulatedClock clock;
  const WallTime wall0 = clock.Wall();
  const MonoTime mono0 = clock.Mono();
  EXPECT_EQ(wall0, SimulatedClock::DefaultStart());

  clock.Advance(seconds(90));
  EXPECT_EQ(clock.Wall() - wall0, seconds(90));
  EXPECT_EQ(clock.Mono() - mono0, seconds(90));

  clock.SetWall(wall0 - std::chrono::hours(1));  // set back, as by the user
  EXPECT_EQ(clock.Wall(), wall0 - std::chrono::hours(1));
  EXPECT_EQ(clock.Mono() - mono0, seconds(90));

  clock.Advance(seconds(-5));
  EXPECT_EQ(clock.Mono() - mono0, seconds(90));
}

TEST(SimulatedClockTest, ThreadsWakeAtTheirOwnDeadlinesInTimeOrder) {
  SimulatedClock clock;
  Journal journal(clock);
  auto ticker = [&](std::string name, seconds period, int count) {
    return [&journal, &clock, name, period, count] {
      for (int i = 0; i < count; ++i) {
        clock.SleepFor(period);
        journal.Add(name);
      }
    };
  };
  ClockThread a(clock, ticker("a", seconds(7), 3));
  ClockThread b(clock, ticker("b", seconds(3), 6));

  // One step to 20 s stops at every deadline on the way; each thread sees
  // its own deadline as "now".
  clock.Advance(seconds(20));
  EXPECT_EQ(journal.Entries(), (std::vector<std::string>{"b@3000", "b@6000", "a@7000", "b@9000", "b@12000",
                                                         "a@14000", "b@15000", "b@18000"}));
  clock.Advance(seconds(1));
  EXPECT_EQ(journal.Entries().back(), "a@21000");
  a.Join();
  clock.Advance(seconds(10));
  b.Join();
  EXPECT_EQ(journal.Entries().size(), 9u);
}

TEST(SimulatedClockTest, EventWakesWaiterEarlyOrTimesOut) {
  SimulatedClock clock;
  ClockEvent stop(clock, ClockEvent::ResetMode::kManual);
  std::atomic<int> outcome{-1};
  MonoTime wokeAt{};
  ClockThread waiter(clock, [&] {
    outcome = stop.WaitFor(seconds(60)) ? 1 : 0;
    wokeAt = clock.Mono();
  });
  const MonoTime start = clock.Mono();
  clock.Advance(seconds(10));
  EXPECT_EQ(outcome.load(), -1);
  stop.Set();
  waiter.Join();
  EXPECT_EQ(outcome.load(), 1);
  EXPECT_EQ(wokeAt - start, seconds(10));

  // Now the other way: nobody sets it.
  stop.Reset();
  ClockThread timeout(clock, [&] { outcome = stop.WaitFor(seconds(60)) ? 1 : 0; });
  clock.Advance(seconds(59));
  EXPECT_EQ(outcome.load(), 1);  // still waiting, still the old value
  clock.Advance(seconds(1));
  timeout.Join();
  EXPECT_EQ(outcome.load(), 0);
}

TEST(SimulatedClockTest, AutoResetEventReleasesOneWait) {
  SimulatedClock clock;
  ClockEvent event(clock, ClockEvent::ResetMode::kAuto, true);
  EXPECT_TRUE(event.WaitFor(seconds(0)));
  EXPECT_FALSE(event.IsSet());
  EXPECT_FALSE(event.WaitFor(seconds(0)));
  ClockEvent manual(clock, ClockEvent::ResetMode::kManual, true);
  EXPECT_TRUE(manual.WaitFor(seconds(0)));
  EXPECT_TRUE(manual.WaitFor(seconds(0)));
}

TEST(SimulatedClockTest, SetWallWakesWaitersToLookAtTheWallClock) {
  // A wait that also ends when the wall clock is set back before its start.
  SimulatedClock clock;
  std::mutex mutex;
  std::condition_variable_any cv;
  std::atomic<bool> sawJump{false};
  ClockThread waiter(clock, [&] {
    const WallTime started = clock.Wall();
    std::unique_lock<std::mutex> lock(mutex);
    sawJump = clock.WaitFor(lock, cv, seconds(600), [&] { return clock.Wall() < started; });
  });
  clock.Advance(seconds(5));
  clock.SetWall(clock.Wall() - std::chrono::hours(2));
  waiter.Join();
  EXPECT_TRUE(sawJump.load());
}

TEST(SimulatedClockTest, WaitForWaitersLinesUpWithPlainThreads) {
  SimulatedClock clock;
  std::atomic<bool> done{false};
  std::thread plain([&] {
    clock.SleepFor(seconds(1));
    done = true;
  });
  ASSERT_TRUE(clock.WaitForWaiters(1));
  EXPECT_EQ(clock.Waiters(), 1u);
  clock.Advance(seconds(1));
  plain.join();
  EXPECT_TRUE(done.load());
  EXPECT_EQ(clock.Waiters(), 0u);
}

TEST(RealClockTest, WaitReturnsWhenDoneOrAtTheDeadline) {
  Clock& clock = RealClock();
  std::mutex mutex;
  std::condition_variable_any cv;
  std::unique_lock<std::mutex> lock(mutex);
  EXPECT_TRUE(clock.WaitFor(lock, cv, seconds(30), [] { return true; }));
  EXPECT_FALSE(clock.WaitFor(lock, cv, milliseconds(1), [] { return false; }));
  EXPECT_EQ(clock.BlockingTimeout(clock.Mono() - seconds(1)), milliseconds(0));
  EXPECT_EQ(clock.BlockingTimeout(kNoDeadline), std::nullopt);
  EXPECT_EQ(clock.DeadlineAfter(std::chrono::nanoseconds::max()), kNoDeadline);
}

}  // namespace
}  // namespace quorvane::platform
