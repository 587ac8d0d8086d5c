#include "service/power/AwakeFallbackWakeTimers.h"

#include <string>

#include "platform/power/TimerfdWakeTimer.h"

namespace TESKTV::SERVICE {

namespace platform = quorvane::platform;

namespace {

class FallbackTimer final : public platform::WakeTimer {
 public:
  FallbackTimer(std::unique_ptr<platform::WakeTimer> inner, std::string name, ServiceLog& log)
      : inner_(std::move(inner)), name_(std::move(name)), log_(log) {}

  platform::Status Arm(platform::WallTime due, bool wakeSystem, std::function<void()> onExpired) override {
    std::function<void()> again = onExpired;
    platform::Status armed = inner_->Arm(due, wakeSystem, std::move(onExpired));
    if (armed) {
      const auto* timerfd = dynamic_cast<const platform::TimerfdWakeTimer*>(inner_.get());
      if (wakeSystem && timerfd != nullptr && !timerfd->WakesSystem()) LogLostWake("no wake-capable alarm clock");
      return armed;
    }
    if (!wakeSystem) return armed;
    LogLostWake(armed.error().message);
    return inner_->Arm(due, false, std::move(again));
  }
  void Cancel() override { inner_->Cancel(); }

 private:
  void LogLostWake(const std::string& why) {
    log_.Printf("[Wakeward][CTeskTimer][Arm] %s cannot wake the system (%s); it fires only while the PC is awake",
                name_.c_str(), why.c_str());
  }

  std::unique_ptr<platform::WakeTimer> inner_;
  std::string name_;
  ServiceLog& log_;
};

}  // namespace

platform::Result<std::unique_ptr<platform::WakeTimer>> AwakeFallbackWakeTimers::Create(std::string_view name) {
  auto created = inner_.Create(name);
  if (!created) return created.error();
  return std::unique_ptr<platform::WakeTimer>(new FallbackTimer(std::move(*created), std::string(name), log_));
}

ServiceWakeTimers::ServiceWakeTimers(ServiceLog& log)
    : timerfd_(std::make_unique<platform::TimerfdWakeTimerFactory>(platform::WakeFallback::kFireWhileAwake)),
      fallback_(*timerfd_, log) {}

ServiceWakeTimers::~ServiceWakeTimers() = default;

platform::Result<std::unique_ptr<platform::WakeTimer>> ServiceWakeTimers::Create(std::string_view name) {
  return fallback_.Create(name);
}

}  // namespace TESKTV::SERVICE
