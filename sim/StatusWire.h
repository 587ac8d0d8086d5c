#pragma once
// The STATUS reply of the daemon: HardwareStatus as "name=value" words.

#include <string>
#include <vector>

#include "platform/base/Result.h"
#include "sim/SimulatedHardware.h"

namespace quorvane::sim {

std::vector<std::string> StatusFields(const HardwareStatus& status);
platform::Result<HardwareStatus> ParseStatusFields(const std::vector<std::string>& words);

std::string_view SensorStateName(SensorState state);

}  // namespace quorvane::sim
