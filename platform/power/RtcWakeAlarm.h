#pragma once
// The RTC's own wake alarm (/sys/class/rtc/rtc0/wakealarm), which powers
// the machine on from hibernation or power-off, where the kernel's alarm
// timers do not reach. Programmed just before hibernating or powering off.
// Needs root.

#include <optional>
#include <string>

#include "platform/base/Result.h"
#include "platform/clock/Clock.h"

namespace quorvane::platform {

class RtcWakeAlarm {
 public:
  explicit RtcWakeAlarm(std::string sysfsRoot = "/sys", std::string device = "rtc0");

  const std::string& path() const { return path_; }

  // Clears the alarm, then sets it to `due` in whole seconds since the
  // epoch (rounded down: early rather than late). The RTC refuses a second
  // alarm while one is set, hence the clearing.
  Status Program(WallTime due);
  Status Clear();
  // The alarm set now; nothing when none is.
  Result<std::optional<WallTime>> Armed() const;

 private:
  std::string path_;
};

}  // namespace quorvane::platform
