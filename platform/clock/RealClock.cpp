#include "platform/clock/Clock.h"

namespace quorvane::platform {

namespace {

class SystemClock final : public Clock {
 public:
  WallTime Wall() const override { return std::chrono::system_clock::now(); }
  MonoTime Mono() const override { return std::chrono::steady_clock::now(); }

  bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable_any& cv, MonoTime deadline,
                 const std::function<bool()>& done) override {
    while (!done()) {
      if (deadline == kNoDeadline) {
        cv.wait(lock);
      } else if (cv.wait_until(lock, deadline) == std::cv_status::timeout) {
        return done();
      }
    }
    return true;
  }

  void Notify(std::condition_variable_any& cv) override { cv.notify_all(); }

  std::optional<std::chrono::milliseconds> BlockingTimeout(MonoTime deadline) const override {
    if (deadline == kNoDeadline) return std::nullopt;
    const auto now = Mono();
    if (deadline <= now) return std::chrono::milliseconds(0);
    // Round up: waking a little late is harmless, waking early spins.
    return std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
  }
};

}  // namespace

Clock& RealClock() {
  static SystemClock clock;
  return clock;
}

void Clock::SleepUntil(MonoTime deadline) {
  std::mutex mutex;
  std::condition_variable_any cv;
  std::unique_lock<std::mutex> lock(mutex);
  WaitUntil(lock, cv, deadline, [] { return false; });
}

MonoTime Clock::DeadlineAfter(std::chrono::nanoseconds duration) const {
  const auto now = Mono();
  if (duration <= std::chrono::nanoseconds::zero()) return now;
  if (duration >= kNoDeadline - now) return kNoDeadline;
  return now + std::chrono::duration_cast<MonoTime::duration>(duration);
}

}  // namespace quorvane::platform
