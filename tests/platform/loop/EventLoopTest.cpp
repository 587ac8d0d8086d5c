#include "platform/loop/EventLoop.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock/ClockThread.h"
#include "platform/clock/SimulatedClock.h"

namespace quorvane::platform {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

std::unique_ptr<EventLoop> MakeLoop(Clock& clock) {
  auto loop = EventLoop::Create(clock);
  EXPECT_TRUE(loop.ok()) << loop.error().message;
  return std::move(*loop);
}

// What ran, stamped with milliseconds of simulated time since the start.
class Journal {
 public:
  explicit Journal(Clock& clock) : clock_(clock), start_(clock.Mono()) {}
  void Add(const std::string& what) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.push_back(what + "@" + std::to_string(Elapsed()));
  }
  std::int64_t Elapsed() const {
    return std::chrono::duration_cast<milliseconds>(clock_.Mono() - start_).count();
  }
  std::vector<std::string> Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(entries_, {});
  }

 private:
  Clock& clock_;
  const MonoTime start_;
  std::mutex mutex_;
  std::vector<std::string> entries_;
};

using Entries = std::vector<std::string>;

TEST(EventLoopTest, PostsFromManyThreadsArriveInEachThreadsOrder) {
  auto loop = MakeLoop(RealClock());
  constexpr int kThreads = 4;
  constexpr int kPosts = 500;
  std::vector<std::vector<int>> seen(kThreads);
  int total = 0;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kPosts; ++i) {
        loop->Post([&, t, i] {
          seen[t].push_back(i);
          if (++total == kThreads * kPosts) loop->Quit(7);
        });
      }
    });
  }
  auto code = loop->Run();
  for (auto& poster : posters) poster.join();
  ASSERT_TRUE(code.ok());
  EXPECT_EQ(*code, 7);
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(seen[t].size(), static_cast<std::size_t>(kPosts));
    for (int i = 0; i < kPosts; ++i) ASSERT_EQ(seen[t][i], i);
  }
}

TEST(EventLoopTest, TimersFireInDueOrderAsTheSimulatedClockAdvances) {
  SimulatedClock clock;
  auto loop = MakeLoop(clock);
  Journal journal(clock);
  loop->SetTimer(1, milliseconds(500), [&] { journal.Add("a"); });
  loop->SetTimer(2, milliseconds(300), [&] { journal.Add("b"); });
  loop->PostAfter(milliseconds(450), [&] { journal.Add("once"); });

  clock.Advance(milliseconds(1000));
  EXPECT_EQ(journal.Take(), (Entries{"b@300", "once@450", "a@500", "b@600", "b@900", "a@1000"}));

  // Setting an existing id replaces it and restarts its interval.
  loop->SetTimer(1, milliseconds(250), [&] { journal.Add("a2"); });
  EXPECT_TRUE(loop->KillTimer(2));
  EXPECT_FALSE(loop->KillTimer(2));
  clock.Advance(milliseconds(600));
  EXPECT_EQ(journal.Take(), (Entries{"a2@1250", "a2@1500"}));
}

TEST(EventLoopTest, TimersDueTogetherFireInTheOrderTheyWereSet) {
  SimulatedClock clock;
  auto loop = MakeLoop(clock);
  Journal journal(clock);
  loop->SetTimer(9, milliseconds(100), [&] { journal.Add("first"); });
  loop->SetTimer(3, milliseconds(100), [&] { journal.Add("second"); });
  loop->SetTimer(EventLoop::TimerKey{42, 9}, milliseconds(100), [&] { journal.Add("other owner"); });
  clock.Advance(milliseconds(100));
  EXPECT_EQ(journal.Take(), (Entries{"first@100", "second@100", "other owner@100"}));
  loop->KillTimers(42);
  clock.Advance(milliseconds(100));
  EXPECT_EQ(journal.Take(), (Entries{"first@200", "second@200"}));
}

TEST(EventLoopTest, TimerCallbacksMayKillOrReplaceTimers) {
  SimulatedClock clock;
  auto loop = MakeLoop(clock);
  Journal journal(clock);
  int ticks = 0;
  loop->SetTimer(1, milliseconds(100), [&] {
    journal.Add("tick");
    if (++ticks == 2) loop->KillTimer(1);
  });
  loop->SetTimer(2, milliseconds(100), [&] {
    journal.Add("replace");
    loop->SetTimer(2, milliseconds(1000), [&] { journal.Add("replaced"); });
  });
  clock.Advance(seconds(2));
  EXPECT_EQ(journal.Take(), (Entries{"tick@100", "replace@100", "tick@200", "replaced@1100"}));
}

TEST(EventLoopTest, ALoopThatFellBehindFiresOnceAndSkipsMissedPeriods) {
  SimulatedClock clock;
  auto loop = MakeLoop(clock);
  Journal journal(clock);
  loop->SetTimer(1, milliseconds(100), [&] { journal.Add("t"); });
  // A handler that blocks the loop for a second.
  loop->PostAfter(milliseconds(50), [&] { clock.SleepFor(seconds(1)); });
  clock.Advance(milliseconds(1200));
  EXPECT_EQ(journal.Take(), (Entries{"t@1050", "t@1100", "t@1200"}));
}

TEST(EventLoopTest, WorkPostedByAWaitingThreadIsHandledAtTheInstantItWasPosted) {
  // The shape of the service: a monitor thread waits on the clock and
  // posts to the window's loop, which the test drives.
  SimulatedClock clock;
  auto loop = MakeLoop(clock);
  Journal journal(clock);
  ClockThread monitor(clock, [&] {
    for (int i = 0; i < 3; ++i) {
      clock.SleepFor(seconds(30));
      loop->Post([&, i] { journal.Add("handled " + std::to_string(i)); });
    }
  });
  loop->SetTimer(1, seconds(45), [&] { journal.Add("timer"); });
  clock.Advance(seconds(100));
  monitor.Join();
  EXPECT_EQ(journal.Take(),
            (Entries{"handled 0@30000", "timer@45000", "handled 1@60000", "handled 2@90000", "timer@90000"}));
}

TEST(EventLoopTest, ALoopRunningOnItsOwnThreadKeepsStepWithTheClock) {
  SimulatedClock clock;
  auto loop = MakeLoop(clock);
  Journal journal(clock);
  loop->SetTimer(1, milliseconds(250), [&] { journal.Add("tick"); });
  ClockThread runner(clock, [&] { ASSERT_TRUE(loop->Run().ok()); });
  clock.Advance(milliseconds(1000));
  EXPECT_EQ(journal.Take(), (Entries{"tick@250", "tick@500", "tick@750", "tick@1000"}));
  loop->Post([&] { journal.Add("posted"); });
  clock.RunDue();
  EXPECT_EQ(journal.Take(), (Entries{"posted@1000"}));
  loop->Quit();
  runner.Join();
}

TEST(EventLoopTest, AHandlerThatSleepsOnTheClockLetsOtherThreadsRunButNotItsOwnLoop) {
  SimulatedClock clock;
  auto loop = MakeLoop(clock);
  Journal journal(clock);
  ClockThread worker(clock, [&] {
    clock.SleepFor(milliseconds(500));
    journal.Add("worker");
  });
  loop->PostAfter(milliseconds(100), [&] {
    journal.Add("sleep");
    clock.SleepFor(seconds(1));
    journal.Add("woke");
  });
  loop->PostAfter(milliseconds(300), [&] { journal.Add("late"); });
  clock.Advance(seconds(2));
  worker.Join();
  EXPECT_EQ(journal.Take(), (Entries{"sleep@100", "worker@500", "woke@1100", "late@1100"}));
}

TEST(EventLoopTest, FdWatchReportsReadinessAndHangUp) {
  auto loop = MakeLoop(RealClock());
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::vector<short> events;
  std::string data;
  EventLoop::WatchId id = 0;
  auto watch = loop->WatchFd(fds[0], POLLIN, [&](short revents) {
    events.push_back(revents);
    char buffer[16];
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n > 0) data.append(buffer, static_cast<std::size_t>(n));
    if (n == 0) loop->RemoveWatch(id);  // the writer is gone: stop watching
  });
  ASSERT_TRUE(watch.ok()) << watch.error().message;
  id = *watch;
  EXPECT_EQ(loop->RunUntilIdle(), 0);

  ASSERT_EQ(::write(fds[1], "abc", 3), 3);
  EXPECT_EQ(loop->RunUntilIdle(), 1);
  EXPECT_EQ(data, "abc");
  ASSERT_EQ(events.size(), 1u);
  EXPECT_TRUE(events[0] & POLLIN);

  ::close(fds[1]);
  EXPECT_EQ(loop->RunUntilIdle(), 1);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_TRUE(events.back() & POLLHUP);
  EXPECT_FALSE(loop->ChangeWatch(id, POLLIN).ok());  // removed by its callback

  // The same fd twice is refused, not silently merged.
  auto first = loop->WatchFd(fds[0], POLLIN, [](short) {});
  auto second = loop->WatchFd(fds[0], POLLIN, [](short) {});
  EXPECT_TRUE(first.ok());
  EXPECT_FALSE(second.ok());
  loop->RemoveWatch(*first);
  ::close(fds[0]);
}

// A host loop of its own (as a GUI toolkit's) that knows the event loop
// only by its fd and timeout.
void RunHostLoop(EventLoop& loop, const std::atomic<bool>& stop) {
  loop.BindToCurrentThread();
  for (;;) {
    loop.Dispatch();
    if (stop) break;
    const auto timeout = loop.NextTimeout();
    pollfd poller{loop.Fd(), POLLIN, 0};
    const int ms = timeout ? static_cast<int>(timeout->count()) : -1;
    ::poll(&poller, 1, ms);
  }
  loop.Unbind();
}

TEST(EventLoopTest, RunsInsideAHostLoopOnTheRealClock) {
  auto loop = MakeLoop(RealClock());
  EXPECT_EQ(loop->NextTimeout(), std::nullopt);
  loop->SetTimer(1, seconds(30), [] {});
  const auto timeout = loop->NextTimeout();
  ASSERT_TRUE(timeout.has_value());
  EXPECT_GT(*timeout, seconds(29));
  EXPECT_LE(*timeout, seconds(30));
  loop->KillTimer(1);
  loop->Post([] {});
  EXPECT_EQ(loop->NextTimeout(), milliseconds(0));
  loop->RunUntilIdle();

  std::atomic<bool> stop{false};
  std::atomic<int> fired{0};
  std::thread host([&] { RunHostLoop(*loop, stop); });
  // A post from another thread wakes the host's poll; so does a due timer.
  std::mutex mutex;
  std::condition_variable cv;
  loop->Post([&] {
    loop->SetTimer(5, milliseconds(1), [&] {
      loop->KillTimer(5);
      std::lock_guard<std::mutex> lock(mutex);
      fired = 1;
      cv.notify_all();
    });
  });
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(cv.wait_for(lock, seconds(10), [&] { return fired.load() == 1; }));
  }
  loop->Post([&] { stop = true; });
  host.join();
}

TEST(EventLoopTest, RunsInsideAHostLoopOnTheSimulatedClock) {
  SimulatedClock clock;
  auto loop = MakeLoop(clock);
  Journal journal(clock);
  std::atomic<bool> stop{false};
  loop->SetTimer(1, seconds(10), [&] { journal.Add("tick"); });
  EXPECT_EQ(loop->NextTimeout(), std::nullopt);  // only Advance brings it closer
  ClockThread host(clock, [&] { RunHostLoop(*loop, stop); });
  clock.Advance(seconds(25));
  EXPECT_EQ(journal.Take(), (Entries{"tick@10000", "tick@20000"}));
  loop->Post([&] { stop = true; });
  host.Join();
}

}  // namespace
}  // namespace quorvane::platform
