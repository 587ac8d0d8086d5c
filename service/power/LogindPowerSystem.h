#pragma once
// PowerSystem on logind, the RTC's wakeup setting and its wake alarm. The
// logind connection is driven by the service's event loop; without a
// reachable logind every action fails with a clear error and nothing is
// held.

#include <memory>
#include <string>

#include "platform/loop/EventLoop.h"
#include "platform/power/Logind.h"
#include "platform/power/LogindInhibitor.h"
#include "platform/power/RtcWakeAlarm.h"
#include "platform/power/RtcWakeupSetting.h"
#include "service/power/PowerSystem.h"

namespace TESKTV::SERVICE {

class LogindPowerSystem final : public PowerSystem {
 public:
  static constexpr const char* kWho = "TeskIrWakeward";

  // Connects to logind ($DBUS_SYSTEM_BUS_ADDRESS or the system bus) and
  // attaches to `loop`, which must outlive this object.
  explicit LogindPowerSystem(quorvane::platform::EventLoop& loop);
  ~LogindPowerSystem() override;

  bool Connected() const { return logind_ != nullptr; }
  const std::string& ConnectError() const { return connectError_; }

  quorvane::platform::Status Suspend() override;
  quorvane::platform::Status Hibernate() override;
  quorvane::platform::Status PowerOff() override;
  quorvane::platform::Status LogOff(const quorvane::platform::ConsoleUser& user) override;
  quorvane::platform::Status HoldSleepBlock(bool hold) override;
  quorvane::platform::Status HoldSleepDelay(bool hold) override;
  quorvane::platform::Status ProgramFirmwareAlarm(std::optional<quorvane::platform::WallTime> due) override;
  void OnPrepareForSleep(SleepHandler handler) override;

 private:
  quorvane::platform::Status Hold(quorvane::platform::LogindInhibitor& lock, bool hold, std::string_view what,
                                  std::string_view why, quorvane::platform::InhibitMode mode);

  std::unique_ptr<quorvane::platform::Logind> logind_;
  std::string connectError_;
  quorvane::platform::LogindInhibitor block_;
  quorvane::platform::LogindInhibitor delay_;
  quorvane::platform::RtcWakeAlarm alarm_;
};

class RtcWakeSetting final : public WakeSetting {
 public:
  explicit RtcWakeSetting(quorvane::platform::RtcWakeupSetting setting = quorvane::platform::RtcWakeupSetting())
      : setting_(std::move(setting)) {}
  quorvane::platform::Result<bool> Read() const override { return setting_.Read(); }
  quorvane::platform::Status AllowForSleep() override { return setting_.AllowForSleep(); }
  bool ChangedBySelf() const override { return setting_.changedBySelf(); }
  quorvane::platform::Status Restore() override { return setting_.Restore(); }

 private:
  quorvane::platform::RtcWakeupSetting setting_;
};

}  // namespace TESKTV::SERVICE
