#pragma once
// Whether the RTC may wake the system: the "wakeup" attribute of the RTC
// device's power settings ("enabled" / "disabled"), the counterpart of
// "allow wake timers" in a power scheme. The file is
// /sys/class/rtc/<device>/device/power/wakeup, or
// /sys/class/rtc/<device>/power/wakeup where the RTC has no parent device.
// Writing needs root.
//
// AllowForSleep enables waking and remembers when it changed the setting;
// Restore puts back only what AllowForSleep changed.

#include <string>

#include "platform/base/Result.h"

namespace quorvane::platform {

class RtcWakeupSetting {
 public:
  explicit RtcWakeupSetting(std::string sysfsRoot = "/sys", std::string device = "rtc0");

  // The attribute used: the parent device's when it exists.
  const std::string& path() const { return path_; }

  Result<bool> Read() const;
  Status Write(bool enabled);

  // Enables waking when it is disabled or cannot be read.
  Status AllowForSleep();
  bool changedBySelf() const { return changed_; }
  // Disables waking again if AllowForSleep enabled it; forgets the mark.
  Status Restore();

 private:
  std::string path_;
  bool changed_ = false;
};

}  // namespace quorvane::platform
