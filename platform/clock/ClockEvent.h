#pragma once
// An event that threads wait for with a timeout on a Clock: the stand-in
// for the stop and exit events of worker threads. Manual-reset events
// stay set until Reset; auto-reset events are consumed by the one wait
// that sees them.

#include <condition_variable>
#include <mutex>

#include "platform/clock/Clock.h"

namespace quorvane::platform {

class ClockEvent {
 public:
  enum class ResetMode { kManual, kAuto };

  explicit ClockEvent(Clock& clock, ResetMode mode = ResetMode::kManual, bool initiallySet = false);
  ClockEvent(const ClockEvent&) = delete;
  ClockEvent& operator=(const ClockEvent&) = delete;

  void Set();
  void Reset();
  bool IsSet() const;

  // True when the event was (or became) set before the deadline.
  bool WaitUntil(MonoTime deadline);
  bool WaitFor(std::chrono::nanoseconds timeout) { return WaitUntil(clock_.DeadlineAfter(timeout)); }
  void Wait() { WaitUntil(kNoDeadline); }

  Clock& clock() const { return clock_; }

 private:
  Clock& clock_;
  const ResetMode mode_;
  mutable std::mutex mutex_;
  std::condition_variable_any cv_;
  bool set_;
};

}  // namespace quorvane::platform
