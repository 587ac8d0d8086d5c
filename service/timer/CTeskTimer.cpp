#include "service/timer/CTeskTimer.h"

#include <chrono>
#include <string>

namespace TESKTV::SERVICE {

namespace platform = quorvane::platform;

namespace {

std::int64_t SecondsOf(platform::WallTime time) {
  return std::chrono::floor<std::chrono::seconds>(time.time_since_epoch()).count();
}

std::string NameOf(const char* prefix, TimerKind kind) { return prefix + std::to_string(static_cast<int>(kind)); }

}  // namespace

CTeskTimer::CTeskTimer(TimerKind kind, std::int64_t seconds, WindowPoster& window,
                       platform::WakeTimerFactory& wakeTimers, platform::Clock& clock, ServiceLog& log)
    : kind_(kind),
      message_(TimerMessageOf(kind)),
      seconds_(seconds),
      window_(window),
      clock_(clock),
      startWall_(clock.Wall()),
      start_(SecondsOf(startWall_)),
      due_(start_ + seconds),
      signal_(std::make_shared<Signal>(clock)) {
  if (kind == TimerKind::kStartAP || kind == TimerKind::kWakeUp) {
    log.Printf("[Wakeward][CTeskTimer][CTeskTimer] TIME_STARTAP: lTimer = %d", static_cast<int>(seconds));
  }
  platform::Result<std::unique_ptr<platform::WakeTimer>> created = wakeTimers.Create(NameOf("TeskUserTimer", kind));
  if (created) {
    wakeTimer_ = std::move(*created);
  } else {
    log.Printf("[Wakeward][CTeskTimer][CTeskTimer] %s", created.error().message.c_str());
  }
  thread_ = platform::ClockThread(clock_, [this] { Body(); });
}

CTeskTimer::~CTeskTimer() {
  {
    std::lock_guard<std::mutex> lock(signal_->mutex);
    signal_->terminate = true;
  }
  clock_.Notify(signal_->cv);
  thread_.Join();
  if (wakeTimer_) wakeTimer_->Cancel();
}

std::int64_t CTeskTimer::Now() const { return SecondsOf(clock_.Wall()); }

std::int64_t CTeskTimer::RemainingSeconds() const { return seconds_ + start_ - Now(); }

bool CTeskTimer::HasEnded() const {
  std::lock_guard<std::mutex> lock(signal_->mutex);
  return signal_->ended;
}

void CTeskTimer::Body() {
  auto end = [this] {
    std::lock_guard<std::mutex> lock(signal_->mutex);
    signal_->ended = true;
  };
  if (!wakeTimer_) return end();
  const platform::WallTime due = startWall_ + std::chrono::seconds(seconds_);
  const platform::Status armed = wakeTimer_->Arm(due, true, [signal = signal_] {
    {
      std::lock_guard<std::mutex> lock(signal->mutex);
      signal->expired = true;
    }
    signal->clock.Notify(signal->cv);
  });
  // Without waking the system the schedule would be missed while it
  // sleeps; the timer gives up rather than fire unreliably.
  if (!armed) return end();

  bool expired;
  {
    std::unique_lock<std::mutex> lock(signal_->mutex);
    clock_.WaitUntil(lock, signal_->cv, platform::kNoDeadline,
                     [this] { return signal_->expired || signal_->terminate; });
    expired = signal_->expired && !signal_->terminate;
  }
  if (expired) window_.Post({message_, 0, 0, nullptr});
  end();
}

}  // namespace TESKTV::SERVICE
