#include "platform/power/RtcWakeupSetting.h"

#include <unistd.h>

#include "platform/power/RtcSysfs.h"

namespace quorvane::platform {

namespace {

std::string WakeupPath(const std::string& sysfsRoot, const std::string& device) {
  const std::string base = rtc::DevicePath(sysfsRoot, device);
  const std::string parent = base + "/device/power/wakeup";
  if (::access(parent.c_str(), F_OK) == 0) return parent;
  const std::string own = base + "/power/wakeup";
  if (::access(own.c_str(), F_OK) == 0) return own;
  return parent;  // neither: errors name the usual place
}

}  // namespace

RtcWakeupSetting::RtcWakeupSetting(std::string sysfsRoot, std::string device)
    : path_(WakeupPath(sysfsRoot, device)) {}

Result<bool> RtcWakeupSetting::Read() const {
  Result<std::string> text = rtc::ReadAttribute(path_);
  if (!text) return text.error();
  if (*text == "enabled") return true;
  if (*text == "disabled") return false;
  return MakeError(path_ + " holds \"" + *text + "\", not \"enabled\" or \"disabled\"");
}

Status RtcWakeupSetting::Write(bool enabled) { return rtc::WriteAttribute(path_, enabled ? "enabled" : "disabled"); }

Status RtcWakeupSetting::AllowForSleep() {
  const Result<bool> current = Read();
  if (current && *current) return Status::Ok();
  if (Status written = Write(true); !written) return written;
  changed_ = true;
  return Status::Ok();
}

Status RtcWakeupSetting::Restore() {
  if (!changed_) return Status::Ok();
  changed_ = false;
  return Write(false);
}

}  // namespace quorvane::platform
