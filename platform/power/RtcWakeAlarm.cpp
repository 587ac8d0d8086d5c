#include "platform/power/RtcWakeAlarm.h"

#include <charconv>
#include <chrono>

#include "platform/power/RtcSysfs.h"

namespace quorvane::platform {

RtcWakeAlarm::RtcWakeAlarm(std::string sysfsRoot, std::string device)
    : path_(rtc::DevicePath(sysfsRoot, device) + "/wakealarm") {}

Status RtcWakeAlarm::Program(WallTime due) {
  const std::int64_t seconds = std::chrono::floor<std::chrono::seconds>(due.time_since_epoch()).count();
  if (seconds <= 0) return MakeError("cannot set the RTC wake alarm to a time before 1970");
  if (Status cleared = Clear(); !cleared) return cleared;
  return rtc::WriteAttribute(path_, std::to_string(seconds));
}

Status RtcWakeAlarm::Clear() { return rtc::WriteAttribute(path_, "0"); }

Result<std::optional<WallTime>> RtcWakeAlarm::Armed() const {
  Result<std::string> text = rtc::ReadAttribute(path_);
  if (!text) return text.error();
  if (text->empty()) return std::optional<WallTime>();
  std::int64_t seconds = 0;
  const char* end = text->data() + text->size();
  const auto [stop, error] = std::from_chars(text->data(), end, seconds);
  if (error != std::errc() || stop != end || seconds < 0) {
    return MakeError(path_ + " holds \"" + *text + "\", not a time in seconds");
  }
  if (seconds == 0) return std::optional<WallTime>();
  return std::optional<WallTime>(WallTime(std::chrono::seconds(seconds)));
}

}  // namespace quorvane::platform
