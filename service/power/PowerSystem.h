#pragma once
// What the service's power management asks of the system: the power
// actions, log-off, the inhibitor locks that stand for answering suspend
// queries, and the PrepareForSleep signal that frames every suspend. The
// real one talks to logind (LogindPowerSystem.h); tests record the calls.

#include <functional>
#include <optional>

#include "platform/base/Result.h"
#include "platform/clock/Clock.h"
#include "platform/session/ConsoleUser.h"

namespace TESKTV::SERVICE {

class PowerSystem {
 public:
  // start: true before the system sleeps, false after it resumed.
  using SleepHandler = std::function<void(bool start)>;

  virtual ~PowerSystem() = default;
  virtual quorvane::platform::Status Suspend() = 0;
  virtual quorvane::platform::Status Hibernate() = 0;
  virtual quorvane::platform::Status PowerOff() = 0;
  virtual quorvane::platform::Status LogOff(const quorvane::platform::ConsoleUser& user) = 0;
  // While held, suspend (and idle sleep) is refused.
  virtual quorvane::platform::Status HoldSleepBlock(bool hold) = 0;
  // While held, a suspend waits (PrepareForSleep(true) comes first).
  virtual quorvane::platform::Status HoldSleepDelay(bool hold) = 0;
  // The firmware alarm that powers the machine on from hibernation or
  // power-off, where the kernel's alarm timers do not reach; nothing
  // clears it.
  virtual quorvane::platform::Status ProgramFirmwareAlarm(std::optional<quorvane::platform::WallTime> due) = 0;
  virtual void OnPrepareForSleep(SleepHandler handler) = 0;
};

// Whether the system may be woken by timers (the RTC's wakeup setting).
class WakeSetting {
 public:
  virtual ~WakeSetting() = default;
  virtual quorvane::platform::Result<bool> Read() const = 0;
  // Enables waking; remembers that it changed the setting.
  virtual quorvane::platform::Status AllowForSleep() = 0;
  virtual bool ChangedBySelf() const = 0;
  // Puts back what AllowForSleep changed.
  virtual quorvane::platform::Status Restore() = 0;
};

}  // namespace TESKTV::SERVICE
