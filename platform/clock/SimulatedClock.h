#pragma once
// A clock that moves only when told to, for tests. Advancing it fires what
// is due in order: it stops at every deadline on the way, lets the threads
// whose waits end there run until they wait again (or end), then runs the
// event loops that have work due there, and only then goes on.
//
// Threads count as busy from the moment the clock (or Notify, or a loop's
// wake-up) hands them something until they wait on the clock again or
// end; a thread started through ClockThread is busy from its start. A
// thread that stays busy for 10 s of real time (blocked on something other
// than the clock) is reported on the debug output and no longer waited
// for.
//
// A wait on this clock from a thread that is itself advancing it (a loop
// handler run by Advance) advances the clock to the wait's deadline, as if
// the thread had slept. Any other thread waits for someone to advance.
// One thread advances the clock at a time. The clock must outlive every
// thread and loop that uses it.

#include <chrono>
#include <cstddef>
#include <memory>

#include "platform/clock/Clock.h"

namespace quorvane::platform {

class SimulatedClock final : public Clock {
 public:
  // 2026-01-01 00:00:00 UTC.
  static WallTime DefaultStart();

  explicit SimulatedClock(WallTime start = DefaultStart());
  ~SimulatedClock() override;
  SimulatedClock(const SimulatedClock&) = delete;
  SimulatedClock& operator=(const SimulatedClock&) = delete;

  WallTime Wall() const override;
  MonoTime Mono() const override;

  bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable_any& cv, MonoTime deadline,
                 const std::function<bool()>& done) override;
  void Notify(std::condition_variable_any& cv) override;
  std::optional<std::chrono::milliseconds> BlockingTimeout(MonoTime deadline) const override;

  void AddDueSource(DueSource& source) override;
  void RemoveDueSource(DueSource& source) override;
  void MarkBusy(ThreadToken token) override;
  void SettleCurrentThread() override;

  // Moves wall and monotonic time forward together, firing what is due on
  // the way (see above). A negative duration does nothing.
  void Advance(std::chrono::nanoseconds duration);
  void AdvanceTo(MonoTime target);
  // Runs what is due now without moving time.
  void RunDue() { Advance(std::chrono::nanoseconds::zero()); }
  // Jumps the wall clock only, as a resume or the user setting the time
  // does. Monotonic deadlines are not touched; waiting threads wake once
  // to look at the wall clock again.
  void SetWall(WallTime wall);

  // Number of threads now waiting on this clock.
  std::size_t Waiters() const;
  // Blocks (in real time, at most `limit`) until at least `count` threads
  // wait on this clock; for tests that start threads of their own.
  bool WaitForWaiters(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10));

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace quorvane::platform
