#pragma once
// The service window's settings, read once when the window is made from
// HKEY_LOCAL_MACHINE "SOFTWARE\Quorvane". A value outside its range is
// ignored (the default stays); each accepted value is logged.

#include <cstdint>
#include <string>

#include "platform/registry/RegistryLocations.h"
#include "service/box/BoxControl.h"
#include "service/log/ServiceLog.h"

namespace TESKTV::SERVICE {

inline constexpr char kQuorvaneKey[] = "SOFTWARE\\Quorvane";

struct WindowSettings {
  BoxSettings box;                  // "PowerWaitTime" 1..59999 ms, "DetectSignalLoop" below 10
  std::uint32_t countDownSec = 60;  // "CountDownSec" 1..119
  std::uint32_t startRecSec = 60;   // "StartRecSec" below 120000; kept, not used

  static WindowSettings Read(const quorvane::platform::RegistryLocations& locations, ServiceLog& log);
};

}  // namespace TESKTV::SERVICE
