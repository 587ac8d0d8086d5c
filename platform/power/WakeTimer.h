#pragma once
// A one-shot timer at a wall-clock time that can resume the system from
// suspend: the stand-in for a waitable timer with resume. It fires at the
// wall-clock time it was armed for, also when the clock was set or the
// system slept in between (a time already past fires at once).

#include <functional>
#include <memory>
#include <string_view>

#include "platform/base/Result.h"
#include "platform/clock/Clock.h"

namespace quorvane::platform {

class WakeTimer {
 public:
  // Disarms the timer; `onExpired` neither runs nor is running afterwards.
  virtual ~WakeTimer() = default;

  // Arms the timer for `due`, replacing an earlier arming. With
  // `wakeSystem` the system resumes from suspend for it; when the system
  // cannot do that, Arm fails and nothing is armed. `onExpired` runs once,
  // on a thread of the timer's, when the time has come; it must not call
  // back into the timer.
  virtual Status Arm(WallTime due, bool wakeSystem, std::function<void()> onExpired) = 0;
  // Disarms; `onExpired` neither runs nor is running afterwards.
  virtual void Cancel() = 0;
};

class WakeTimerFactory {
 public:
  virtual ~WakeTimerFactory() = default;
  // A new, unarmed timer. `name` keeps the timers of different users apart
  // (for diagnostics; one timer per name at a time).
  virtual Result<std::unique_ptr<WakeTimer>> Create(std::string_view name) = 0;
};

}  // namespace quorvane::platform
