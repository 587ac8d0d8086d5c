#include "platform/power/TimerfdTimer.h"

#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace quorvane::platform {

namespace {

std::string ErrnoText(const std::string& what, int error) { return what + ": " + std::strerror(error); }

// The earliest representable instant stands for every time at or before
// the epoch: an all-zero it_value would disarm rather than fire.
timespec ToTimespec(WallTime time) {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
  if (ns <= 0) return timespec{0, 1};
  return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

}  // namespace

WakeClockProbe ProbeWakeClock() {
  timespec resolution{};
  if (::clock_getres(CLOCK_REALTIME_ALARM, &resolution) != 0) {
    return {false, ErrnoText("the alarm clock is not available (no RTC usable as wake alarm)", errno)};
  }
  const int fd = ::timerfd_create(CLOCK_REALTIME_ALARM, TFD_CLOEXEC | TFD_NONBLOCK);
  if (fd < 0) {
    const int error = errno;
    return {false, error == EPERM ? std::string("waking the system needs CAP_WAKE_ALARM")
                                  : ErrnoText("cannot create an alarm timer", error)};
  }
  ::close(fd);
  return {true, {}};
}

Result<TimerfdTimer> TimerfdTimer::Create(bool wakeSystem, const WakeClockProbe& probe) {
  const bool alarm = wakeSystem && probe.canWake;
  int fd = ::timerfd_create(alarm ? CLOCK_REALTIME_ALARM : CLOCK_REALTIME, TFD_CLOEXEC | TFD_NONBLOCK);
  std::string problem = wakeSystem && !alarm ? probe.problem : std::string();
  if (fd < 0 && alarm) {
    // The capability can go between probe and use (a dropped privilege).
    problem = ErrnoText("cannot create an alarm timer", errno);
    fd = ::timerfd_create(CLOCK_REALTIME, TFD_CLOEXEC | TFD_NONBLOCK);
    if (fd >= 0) return TimerfdTimer(fd, false, std::move(problem));
  }
  if (fd < 0) return MakeError(ErrnoText("cannot create a timer", errno));
  return TimerfdTimer(fd, alarm, std::move(problem));
}

TimerfdTimer::TimerfdTimer(TimerfdTimer&& other) noexcept
    : fd_(other.fd_),
      wakesSystem_(other.wakesSystem_),
      wakeProblem_(std::move(other.wakeProblem_)),
      due_(other.due_) {
  other.fd_ = -1;
  other.due_.reset();
}

TimerfdTimer& TimerfdTimer::operator=(TimerfdTimer&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) {
      (void)Disarm();
      ::close(fd_);
    }
    fd_ = other.fd_;
    wakesSystem_ = other.wakesSystem_;
    wakeProblem_ = std::move(other.wakeProblem_);
    due_ = other.due_;
    other.fd_ = -1;
    other.due_.reset();
  }
  return *this;
}

TimerfdTimer::~TimerfdTimer() {
  if (fd_ < 0) return;
  (void)Disarm();
  ::close(fd_);
}

Status TimerfdTimer::SetTime(WallTime due) {
  itimerspec spec{};
  spec.it_value = ToTimespec(due);
  if (::timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &spec, nullptr) != 0) {
    return MakeError(ErrnoText("cannot arm the timer", errno));
  }
  return Status::Ok();
}

Status TimerfdTimer::Arm(WallTime due) {
  if (fd_ < 0) return MakeError("the timer is closed");
  if (Status set = SetTime(due); !set) {
    due_.reset();
    return set;
  }
  due_ = due;
  return Status::Ok();
}

Status TimerfdTimer::Disarm() {
  if (fd_ < 0) return Status::Ok();
  due_.reset();
  const itimerspec off{};
  if (::timerfd_settime(fd_, 0, &off, nullptr) != 0) return MakeError(ErrnoText("cannot disarm the timer", errno));
  return Status::Ok();
}

Result<TimerfdTimer::Event> TimerfdTimer::OnReadable() {
  if (fd_ < 0) return MakeError("the timer is closed");
  std::uint64_t expirations = 0;
  for (;;) {
    const ssize_t n = ::read(fd_, &expirations, sizeof expirations);
    if (n == static_cast<ssize_t>(sizeof expirations)) {
      due_.reset();
      return Event::kExpired;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return Event::kNothing;
    if (n < 0 && errno == ECANCELED) {
      // Reads fail until the timer is set again.
      if (!due_) return Event::kNothing;
      if (Status set = SetTime(*due_); !set) return set.error();
      return Event::kClockChanged;
    }
    return MakeError(n < 0 ? ErrnoText("cannot read the timer", errno) : std::string("short read from the timer"));
  }
}

}  // namespace quorvane::platform
