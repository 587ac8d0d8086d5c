#include "platform/power/TimerfdWakeTimer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/debug/DebugOutput.h"

namespace quorvane::platform {

Result<std::unique_ptr<TimerfdWakeTimer>> TimerfdWakeTimer::Create(std::string name, const WakeClockProbe& probe,
                                                                   WakeFallback fallback) {
  Result<TimerfdTimer> awake = TimerfdTimer::Create(false, probe);
  if (!awake) return MakeError("timer " + name + ": " + awake.error().message);
  std::optional<TimerfdTimer> alarm;
  std::string wakeProblem = probe.problem;
  if (probe.canWake) {
    Result<TimerfdTimer> created = TimerfdTimer::Create(true, probe);
    if (!created) return MakeError("timer " + name + ": " + created.error().message);
    if (created->wakesSystem()) {
      alarm.emplace(std::move(*created));
    } else {
      wakeProblem = created->wakeProblem();
    }
  }
  const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd < 0) return MakeError("timer " + name + ": cannot create an eventfd: " + std::strerror(errno));
  return std::unique_ptr<TimerfdWakeTimer>(new TimerfdWakeTimer(std::move(name), fallback, std::move(wakeProblem),
                                                                std::move(*awake), std::move(alarm), wakeFd));
}

TimerfdWakeTimer::TimerfdWakeTimer(std::string name, WakeFallback fallback, std::string wakeProblem,
                                   TimerfdTimer awake, std::optional<TimerfdTimer> alarm, int wakeFd)
    : name_(std::move(name)),
      fallback_(fallback),
      wakeProblem_(std::move(wakeProblem)),
      awake_(std::move(awake)),
      alarm_(std::move(alarm)),
      wakeFd_(wakeFd) {
  thread_ = std::thread([this] { Body(); });
}

TimerfdWakeTimer::~TimerfdWakeTimer() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    CancelLocked(lock);
    quit_ = true;
  }
  const std::uint64_t one = 1;
  while (::write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();  // destroyed from its own callback, against the rules; let it run out
  } else {
    thread_.join();
  }
  ::close(wakeFd_);
}

Status TimerfdWakeTimer::Arm(WallTime due, bool wakeSystem, std::function<void()> onExpired) {
  std::unique_lock<std::mutex> lock(mutex_);
  CancelLocked(lock);
  TimerfdTimer* timer = &awake_;
  if (wakeSystem) {
    if (alarm_) {
      timer = &*alarm_;
    } else if (fallback_ == WakeFallback::kRefuse) {
      return MakeError("timer " + name_ + ": cannot wake the system: " + wakeProblem_);
    }
  }
  if (Status armed = timer->Arm(due); !armed) return MakeError("timer " + name_ + ": " + armed.error().message);
  armed_ = timer;
  onExpired_ = std::move(onExpired);
  return Status::Ok();
}

void TimerfdWakeTimer::Cancel() {
  std::unique_lock<std::mutex> lock(mutex_);
  CancelLocked(lock);
}

void TimerfdWakeTimer::CancelLocked(std::unique_lock<std::mutex>& lock) {
  if (armed_ != nullptr) (void)armed_->Disarm();
  armed_ = nullptr;
  onExpired_ = nullptr;
  // From the callback itself there is nothing to wait for.
  if (thread_.get_id() != std::this_thread::get_id()) idle_.wait(lock, [this] { return !running_; });
}

bool TimerfdWakeTimer::WakesSystem() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return armed_ != nullptr && armed_->wakesSystem();
}

void TimerfdWakeTimer::Expire(TimerfdTimer& timer, std::unique_lock<std::mutex>& lock) {
  const Result<TimerfdTimer::Event> event = timer.OnReadable();
  if (!event) {
    DebugOutput("timer " + name_ + ": " + event.error().message);
    return;
  }
  if (*event != TimerfdTimer::Event::kExpired || armed_ != &timer) return;
  std::function<void()> callback = std::move(onExpired_);
  onExpired_ = nullptr;
  armed_ = nullptr;
  if (!callback) return;
  running_ = true;
  lock.unlock();
  callback();
  lock.lock();
  running_ = false;
  idle_.notify_all();
}

void TimerfdWakeTimer::Body() {
  for (;;) {
    pollfd fds[3] = {{wakeFd_, POLLIN, 0}, {awake_.fd(), POLLIN, 0}, {alarm_ ? alarm_->fd() : -1, POLLIN, 0}};
    const int ready = ::poll(fds, 3, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      DebugOutput("timer " + name_ + ": poll: " + std::strerror(errno));
      return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (fds[0].revents != 0) {
      std::uint64_t count = 0;
      (void)::read(wakeFd_, &count, sizeof count);
    }
    if (quit_) return;
    if (fds[1].revents != 0) Expire(awake_, lock);
    if (quit_) return;
    if (alarm_ && fds[2].revents != 0) Expire(*alarm_, lock);
    if (quit_) return;
  }
}

TimerfdWakeTimerFactory::TimerfdWakeTimerFactory(WakeFallback fallback)
    : TimerfdWakeTimerFactory(ProbeWakeClock(), fallback) {}

TimerfdWakeTimerFactory::TimerfdWakeTimerFactory(WakeClockProbe probe, WakeFallback fallback)
    : probe_(std::move(probe)), fallback_(fallback) {}

Result<std::unique_ptr<WakeTimer>> TimerfdWakeTimerFactory::Create(std::string_view name) {
  Result<std::unique_ptr<TimerfdWakeTimer>> timer = TimerfdWakeTimer::Create(std::string(name), probe_, fallback_);
  if (!timer) return timer.error();
  return std::unique_ptr<WakeTimer>(std::move(*timer));
}

}  // namespace quorvane::platform
