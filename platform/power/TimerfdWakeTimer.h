#pragma once
// WakeTimer on timerfd (TimerfdTimer.h). Each timer has a thread of its
// own that waits on its timerfds and runs the callback when the time has
// come, following wall-clock changes.
//
// When the system cannot be woken (no usable RTC alarm, or no
// CAP_WAKE_ALARM), an arming that asks for waking either fails, as a
// WakeTimer promises (kRefuse), or runs on the plain wall clock and fires
// only while the system is awake (kFireWhileAwake): the factory's probe()
// and the timer's WakesSystem() tell the caller so it can report the lost
// wake.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/power/TimerfdTimer.h"
#include "platform/power/WakeTimer.h"

namespace quorvane::platform {

enum class WakeFallback { kRefuse, kFireWhileAwake };

class TimerfdWakeTimer final : public WakeTimer {
 public:
  static Result<std::unique_ptr<TimerfdWakeTimer>> Create(std::string name, const WakeClockProbe& probe,
                                                          WakeFallback fallback);
  ~TimerfdWakeTimer() override;
  TimerfdWakeTimer(const TimerfdWakeTimer&) = delete;
  TimerfdWakeTimer& operator=(const TimerfdWakeTimer&) = delete;

  Status Arm(WallTime due, bool wakeSystem, std::function<void()> onExpired) override;
  void Cancel() override;

  const std::string& name() const { return name_; }
  // Whether the current arming resumes the system; false when unarmed.
  bool WakesSystem() const;

 private:
  TimerfdWakeTimer(std::string name, WakeFallback fallback, std::string wakeProblem, TimerfdTimer awake,
                   std::optional<TimerfdTimer> alarm, int wakeFd);
  void Body();
  void CancelLocked(std::unique_lock<std::mutex>& lock);
  void Expire(TimerfdTimer& timer, std::unique_lock<std::mutex>& lock);

  const std::string name_;
  const WakeFallback fallback_;
  const std::string wakeProblem_;

  mutable std::mutex mutex_;
  std::condition_variable idle_;
  TimerfdTimer awake_;                 // CLOCK_REALTIME
  std::optional<TimerfdTimer> alarm_;  // CLOCK_REALTIME_ALARM, when the system can wake
  TimerfdTimer* armed_ = nullptr;
  std::function<void()> onExpired_;
  bool running_ = false;  // onExpired_ runs on the thread
  bool quit_ = false;
  const int wakeFd_;      // eventfd: Cancel and the destructor wake the thread
  std::thread thread_;
};

class TimerfdWakeTimerFactory final : public WakeTimerFactory {
 public:
  // Probes the kernel once.
  explicit TimerfdWakeTimerFactory(WakeFallback fallback = WakeFallback::kRefuse);
  TimerfdWakeTimerFactory(WakeClockProbe probe, WakeFallback fallback);

  const WakeClockProbe& probe() const { return probe_; }
  Result<std::unique_ptr<WakeTimer>> Create(std::string_view name) override;

 private:
  WakeClockProbe probe_;
  WakeFallback fallback_;
};

}  // namespace quorvane::platform
