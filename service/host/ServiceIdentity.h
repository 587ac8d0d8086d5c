#pragma once
// How TeskIrWakeward is known to the system as a service.

namespace TESKTV::SERVICE {

inline constexpr char kServiceName[] = "TeskIrWakeward";  // also the display name and the log source
inline constexpr char kServiceDescription[] =
    "TeskIrWakeward.exe is a service application used to monitor schedule program.";
inline constexpr char kUnitName[] = "TeskIrWakeward.service";
inline constexpr char kServiceParameters[] = "-Service";

}  // namespace TESKTV::SERVICE
