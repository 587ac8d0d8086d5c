#pragma once
// A one-shot timer at an absolute wall-clock time on a timerfd, for a poll
// loop: the fd turns readable when the time has come or when the wall
// clock was set (the timer then arms itself again for the same time, which
// fires at once if that time has passed meanwhile).
//
// Waking the system needs CLOCK_REALTIME_ALARM: an RTC the kernel can use
// as alarm (clock_getres succeeds) and CAP_WAKE_ALARM (timerfd_create
// succeeds). Without them the timer runs on CLOCK_REALTIME and says why it
// cannot wake: it still fires while the system is awake, and the caller
// decides what the lost wake means.

#include <optional>
#include <string>

#include "platform/base/Result.h"
#include "platform/clock/Clock.h"

namespace quorvane::platform {

struct WakeClockProbe {
  bool canWake = false;
  std::string problem;  // why not, when it cannot
};

// Asks the kernel once per call.
WakeClockProbe ProbeWakeClock();

class TimerfdTimer {
 public:
  enum class Event {
    kNothing,       // nothing to read (woken spuriously or already consumed)
    kExpired,       // the armed time has come; the timer is disarmed
    kClockChanged,  // the wall clock was set; armed again for the same time
  };

  // On CLOCK_REALTIME_ALARM when `wakeSystem` and `probe` allow it,
  // otherwise on CLOCK_REALTIME.
  static Result<TimerfdTimer> Create(bool wakeSystem, const WakeClockProbe& probe);
  static Result<TimerfdTimer> Create(bool wakeSystem) { return Create(wakeSystem, ProbeWakeClock()); }

  TimerfdTimer(TimerfdTimer&& other) noexcept;
  TimerfdTimer& operator=(TimerfdTimer&& other) noexcept;
  TimerfdTimer(const TimerfdTimer&) = delete;
  TimerfdTimer& operator=(const TimerfdTimer&) = delete;
  // Disarms and closes.
  ~TimerfdTimer();

  int fd() const { return fd_; }
  bool wakesSystem() const { return wakesSystem_; }
  // Why waking was asked for and is not possible; empty otherwise.
  const std::string& wakeProblem() const { return wakeProblem_; }

  // Replaces any earlier arming. A time already past fires at once.
  Status Arm(WallTime due);
  Status Disarm();
  std::optional<WallTime> due() const { return due_; }

  // Call when fd() is readable.
  Result<Event> OnReadable();

 private:
  TimerfdTimer(int fd, bool wakesSystem, std::string wakeProblem)
      : fd_(fd), wakesSystem_(wakesSystem), wakeProblem_(std::move(wakeProblem)) {}
  Status SetTime(WallTime due);

  int fd_ = -1;
  bool wakesSystem_ = false;
  std::string wakeProblem_;
  std::optional<WallTime> due_;
};

}  // namespace quorvane::platform
