// The timerfd timers on the real kernel facility: short waits on the fd,
// bounded by poll timeouts.

#include <gtest/gtest.h>
#include <poll.h>
#include <time.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/power/TimerfdTimer.h"
#include "platform/power/TimerfdWakeTimer.h"

namespace quorvane::platform {
namespace {

using namespace std::chrono_literals;

bool Readable(const TimerfdTimer& timer, std::chrono::milliseconds limit) {
  pollfd p{timer.fd(), POLLIN, 0};
  return ::poll(&p, 1, static_cast<int>(limit.count())) == 1;
}

const WakeClockProbe kNoWake{false, "no RTC usable as wake alarm"};

TEST(TimerfdTimer, FiresAtAnAbsoluteWallTime) {
  auto timer = TimerfdTimer::Create(false);
  ASSERT_TRUE(timer) << timer.error().message;
  const WallTime due = std::chrono::system_clock::now() + 150ms;
  ASSERT_TRUE(timer->Arm(due));
  EXPECT_EQ(timer->due(), due);
  ASSERT_TRUE(Readable(*timer, 5s));
  EXPECT_GE(std::chrono::system_clock::now(), due);
  auto event = timer->OnReadable();
  ASSERT_TRUE(event) << event.error().message;
  EXPECT_EQ(*event, TimerfdTimer::Event::kExpired);
  EXPECT_FALSE(timer->due());
  // Read once: nothing more until it is armed again.
  EXPECT_EQ(*timer->OnReadable(), TimerfdTimer::Event::kNothing);
}

TEST(TimerfdTimer, PastTimesFireAtOnceAndDisarmingOrReplacingDropsThem) {
  auto timer = TimerfdTimer::Create(false);
  ASSERT_TRUE(timer) << timer.error().message;
  for (const WallTime past : {std::chrono::system_clock::now() - 1h, WallTime{}, WallTime{} - 24h}) {
    ASSERT_TRUE(timer->Arm(past));
    ASSERT_TRUE(Readable(*timer, 5s));
    EXPECT_EQ(*timer->OnReadable(), TimerfdTimer::Event::kExpired);
  }

  // An expiry not yet read goes with the arming it belonged to.
  ASSERT_TRUE(timer->Arm(std::chrono::system_clock::now() - 1s));
  ASSERT_TRUE(Readable(*timer, 5s));
  ASSERT_TRUE(timer->Disarm());
  EXPECT_FALSE(Readable(*timer, 0ms));
  EXPECT_EQ(*timer->OnReadable(), TimerfdTimer::Event::kNothing);

  ASSERT_TRUE(timer->Arm(std::chrono::system_clock::now() - 1s));
  ASSERT_TRUE(Readable(*timer, 5s));
  ASSERT_TRUE(timer->Arm(std::chrono::system_clock::now() + 1h));
  EXPECT_FALSE(Readable(*timer, 0ms));
}

TEST(TimerfdTimer, WithoutAWakeClockItRunsOnTheWallClockAndSaysWhy) {
  auto timer = TimerfdTimer::Create(true, kNoWake);
  ASSERT_TRUE(timer) << timer.error().message;
  EXPECT_FALSE(timer->wakesSystem());
  EXPECT_EQ(timer->wakeProblem(), kNoWake.problem);
  ASSERT_TRUE(timer->Arm(std::chrono::system_clock::now() + 50ms));
  ASSERT_TRUE(Readable(*timer, 5s));
  EXPECT_EQ(*timer->OnReadable(), TimerfdTimer::Event::kExpired);

  auto plain = TimerfdTimer::Create(false, kNoWake);
  ASSERT_TRUE(plain);
  EXPECT_TRUE(plain->wakeProblem().empty()) << "no wake was asked for";
}

TEST(TimerfdTimer, ProbeAgreesWithTheKernel) {
  const WakeClockProbe probe = ProbeWakeClock();
  timespec resolution{};
  if (::clock_getres(CLOCK_REALTIME_ALARM, &resolution) != 0) {
    EXPECT_FALSE(probe.canWake);
    EXPECT_NE(probe.problem.find("RTC"), std::string::npos) << probe.problem;
  }
  auto timer = TimerfdTimer::Create(true, probe);
  ASSERT_TRUE(timer) << timer.error().message;
  EXPECT_EQ(timer->wakesSystem(), probe.canWake);
  EXPECT_EQ(timer->wakeProblem().empty(), probe.canWake);
}

TEST(TimerfdTimer, AlarmClockRefusedAtCreationFallsBack) {
  // A probe that promises waking: the alarm clock needs CAP_WAKE_ALARM,
  // which a normal user lacks; the timer then runs on the wall clock.
  auto timer = TimerfdTimer::Create(true, WakeClockProbe{true, {}});
  ASSERT_TRUE(timer) << timer.error().message;
  if (!timer->wakesSystem()) {
    EXPECT_NE(timer->wakeProblem().find("cannot create an alarm timer"), std::string::npos) << timer->wakeProblem();
  }
  ASSERT_TRUE(timer->Arm(std::chrono::system_clock::now() + 50ms));
  ASSERT_TRUE(Readable(*timer, 5s));
  EXPECT_EQ(*timer->OnReadable(), TimerfdTimer::Event::kExpired);
}

// Runs of a WakeTimer's callback, seen from the test thread.
struct Expiries {
  std::mutex mutex;
  std::condition_variable changed;
  int count = 0;
  std::thread::id thread;
  WallTime at;

  std::function<void()> Callback() {
    return [this] {
      std::lock_guard<std::mutex> lock(mutex);
      ++count;
      thread = std::this_thread::get_id();
      at = std::chrono::system_clock::now();
      changed.notify_all();
    };
  }
  bool WaitFor(int wanted) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, 5s, [&] { return count >= wanted; });
  }
};

TEST(TimerfdWakeTimer, RunsTheCallbackOnItsThreadAtTheTime) {
  TimerfdWakeTimerFactory factory(kNoWake, WakeFallback::kRefuse);
  auto timer = factory.Create("TeskUserTimer6");
  ASSERT_TRUE(timer) << timer.error().message;
  Expiries expiries;
  const WallTime due = std::chrono::system_clock::now() + 100ms;
  ASSERT_TRUE((*timer)->Arm(due, false, expiries.Callback()));
  ASSERT_TRUE(expiries.WaitFor(1));
  EXPECT_NE(expiries.thread, std::this_thread::get_id());
  EXPECT_GE(expiries.at, due);
}

TEST(TimerfdWakeTimer, WakeRequestsWithoutAWakeClockFailOrFireWhileAwake) {
  {
    TimerfdWakeTimerFactory refusing(kNoWake, WakeFallback::kRefuse);
    EXPECT_FALSE(refusing.probe().canWake);
    auto timer = refusing.Create("TeskUserTimer0");
    ASSERT_TRUE(timer);
    Expiries expiries;
    const Status armed = (*timer)->Arm(std::chrono::system_clock::now() + 1h, true, expiries.Callback());
    ASSERT_FALSE(armed);
    EXPECT_EQ(armed.error().message, "timer TeskUserTimer0: cannot wake the system: no RTC usable as wake alarm");
  }
  TimerfdWakeTimerFactory lenient(kNoWake, WakeFallback::kFireWhileAwake);
  auto created = TimerfdWakeTimer::Create("TeskUserTimer6", lenient.probe(), WakeFallback::kFireWhileAwake);
  ASSERT_TRUE(created) << created.error().message;
  TimerfdWakeTimer& timer = **created;
  Expiries expiries;
  ASSERT_TRUE(timer.Arm(std::chrono::system_clock::now() + 50ms, true, expiries.Callback()));
  EXPECT_FALSE(timer.WakesSystem());
  EXPECT_TRUE(expiries.WaitFor(1));
}

TEST(TimerfdWakeTimer, CancelAndReArmingDropTheEarlierArming) {
  TimerfdWakeTimerFactory factory(kNoWake, WakeFallback::kRefuse);
  auto timer = factory.Create("t");
  ASSERT_TRUE(timer);
  Expiries cancelled, replaced, kept;
  ASSERT_TRUE((*timer)->Arm(std::chrono::system_clock::now() + 100ms, false, cancelled.Callback()));
  (*timer)->Cancel();
  ASSERT_TRUE((*timer)->Arm(std::chrono::system_clock::now() + 150ms, false, replaced.Callback()));
  ASSERT_TRUE((*timer)->Arm(std::chrono::system_clock::now() + 300ms, false, kept.Callback()));
  // One thread serves the timer in time order: once the last arming has
  // fired, the earlier ones had their chance.
  ASSERT_TRUE(kept.WaitFor(1));
  EXPECT_EQ(cancelled.count, 0);
  EXPECT_EQ(replaced.count, 0);
}

TEST(TimerfdWakeTimer, CancelWaitsForARunningCallback) {
  TimerfdWakeTimerFactory factory(kNoWake, WakeFallback::kRefuse);
  auto timer = factory.Create("t");
  ASSERT_TRUE(timer);
  std::mutex mutex;
  std::condition_variable changed;
  bool started = false, release = false, finished = false;
  ASSERT_TRUE((*timer)->Arm(std::chrono::system_clock::now() - 1s, false, [&] {
    std::unique_lock<std::mutex> lock(mutex);
    started = true;
    changed.notify_all();
    changed.wait(lock, [&] { return release; });
    finished = true;
  }));
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, 5s, [&] { return started; }));
  }
  bool finishedWhenCancelReturned = false;
  std::thread canceller([&] {
    (*timer)->Cancel();
    std::lock_guard<std::mutex> lock(mutex);
    finishedWhenCancelReturned = finished;
  });
  {
    std::lock_guard<std::mutex> lock(mutex);
    release = true;
  }
  changed.notify_all();
  canceller.join();
  EXPECT_TRUE(finishedWhenCancelReturned);
}

}  // namespace
}  // namespace quorvane::platform
