#pragma once
// Wake timers for the service's one-shot timers. A timer whose wake-up the
// system cannot honour still fires while the PC is awake: an after-record
// action or a wake-up must not vanish because the RTC cannot wake the
// machine; only the waking is lost, and that is logged.

#include <memory>

#include "platform/power/WakeTimer.h"
#include "service/log/ServiceLog.h"

namespace TESKTV::SERVICE {

class AwakeFallbackWakeTimers final : public quorvane::platform::WakeTimerFactory {
 public:
  // `inner` and `log` must outlive the factory and its timers.
  AwakeFallbackWakeTimers(quorvane::platform::WakeTimerFactory& inner, ServiceLog& log) : inner_(inner), log_(log) {}
  quorvane::platform::Result<std::unique_ptr<quorvane::platform::WakeTimer>> Create(std::string_view name) override;

 private:
  quorvane::platform::WakeTimerFactory& inner_;
  ServiceLog& log_;
};

// The service's default: timerfd alarm timers that fall back to the plain
// wall clock when the system cannot be woken, wrapped as above.
class ServiceWakeTimers final : public quorvane::platform::WakeTimerFactory {
 public:
  explicit ServiceWakeTimers(ServiceLog& log);
  ~ServiceWakeTimers() override;
  quorvane::platform::Result<std::unique_ptr<quorvane::platform::WakeTimer>> Create(std::string_view name) override;

 private:
  std::unique_ptr<quorvane::platform::WakeTimerFactory> timerfd_;
  AwakeFallbackWakeTimers fallback_;
};

}  // namespace TESKTV::SERVICE
