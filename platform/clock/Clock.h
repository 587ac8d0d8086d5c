#pragma once
// "Now" for all time logic. Wall-clock time (schedules, log stamps) and
// monotonic time (timeouts, intervals) are kept apart: the wall clock can
// jump (settings, resume from sleep), the monotonic one never does.
//
// Everything that waits, waits on a Clock, so that tests can run the same
// code on a SimulatedClock without sleeping. The waiting primitive is
// WaitUntil; whoever changes what a waiter waits for calls Notify (not the
// condition variable directly), which lets a simulated clock know which
// threads are still busy.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

namespace quorvane::platform {

using WallTime = std::chrono::system_clock::time_point;
using MonoTime = std::chrono::steady_clock::time_point;

// A wait deadline that never comes.
inline constexpr MonoTime kNoDeadline = MonoTime::max();

// Identity of a thread as the clocks see it (see ThreadToken.h).
using ThreadToken = std::uint64_t;

// Something with work due at points of monotonic time: an event loop's
// timers and queued messages. A simulated clock asks every source for its
// next due time while advancing and has it run when that time is reached.
class DueSource {
 public:
  virtual ~DueSource() = default;
  // The earliest time something is due; nothing when idle.
  virtual std::optional<MonoTime> NextDue() = 0;
  // Runs, or has its own thread run, what is due at the clock's Mono().
  virtual void RunDue() = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual WallTime Wall() const = 0;
  virtual MonoTime Mono() const = 0;

  // Blocks until done() holds or the deadline has passed on this clock.
  // `lock` holds the mutex that guards the state done() reads, on entry
  // and on return. Whoever changes that state does so under the same
  // mutex and then calls Notify(cv). Returns done() as last seen.
  virtual bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable_any& cv,
                         MonoTime deadline, const std::function<bool()>& done) = 0;
  // Wakes the threads waiting on cv.
  virtual void Notify(std::condition_variable_any& cv) = 0;

  bool WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable_any& cv,
               std::chrono::nanoseconds timeout, const std::function<bool()>& done) {
    return WaitUntil(lock, cv, DeadlineAfter(timeout), done);
  }
  void SleepUntil(MonoTime deadline);
  void SleepFor(std::chrono::nanoseconds duration) { SleepUntil(DeadlineAfter(duration)); }

  // Mono() + duration, saturating at kNoDeadline.
  MonoTime DeadlineAfter(std::chrono::nanoseconds duration) const;

  // How long a thread that blocks in the kernel (poll) should sleep to
  // meet `deadline`: zero when it has passed, nothing for no limit. On a
  // simulated clock only Advance moves time, and it wakes the loops it
  // concerns, so the answer there is zero or no limit.
  virtual std::optional<std::chrono::milliseconds> BlockingTimeout(MonoTime deadline) const = 0;

  // Cooperation with simulated time; the real clock ignores these.
  // Sources are asked for due work while a simulated clock advances.
  virtual void AddDueSource(DueSource&) {}
  virtual void RemoveDueSource(DueSource&) {}
  // The thread `token` has been handed work by the calling thread (woken
  // through its own channel, such as an eventfd); a simulated clock does
  // not advance further until that thread settles.
  virtual void MarkBusy(ThreadToken) {}
  // The calling thread has finished what it was handed and goes idle.
  virtual void SettleCurrentThread() {}
};

// The process-wide real clock.
Clock& RealClock();

}  // namespace quorvane::platform
