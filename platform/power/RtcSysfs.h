#pragma once
// Reading and writing the small text attributes of an RTC in sysfs
// (/sys/class/rtc/<device>/...). The sysfs root is a parameter so that
// tests can use a folder that looks like it.

#include <string>

#include "platform/base/Result.h"

namespace quorvane::platform::rtc {

// "<root>/class/rtc/<device>"
std::string DevicePath(const std::string& sysfsRoot, const std::string& device);

// The attribute's text without trailing line breaks and blanks.
Result<std::string> ReadAttribute(const std::string& path);
// One write of `text` plus a line break, as `echo text > path` does.
Status WriteAttribute(const std::string& path, const std::string& text);

}  // namespace quorvane::platform::rtc
