#include "platform/clock/ClockEvent.h"

namespace quorvane::platform {

ClockEvent::ClockEvent(Clock& clock, ResetMode mode, bool initiallySet)
    : clock_(clock), mode_(mode), set_(initiallySet) {}

void ClockEvent::Set() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
  }
  clock_.Notify(cv_);
}

void ClockEvent::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  set_ = false;
}

bool ClockEvent::IsSet() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return set_;
}

bool ClockEvent::WaitUntil(MonoTime deadline) {
  std::unique_lock<std::mutex> lock(mutex_);
  const bool signalled = clock_.WaitUntil(lock, cv_, deadline, [this] { return set_; });
  if (signalled && mode_ == ResetMode::kAuto) set_ = false;
  return signalled;
}

}  // namespace quorvane::platform
