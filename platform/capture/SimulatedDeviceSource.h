#pragma once
// The simulated capture device as a device source: listed while its port
// answers, absent while the simulator is unreachable.

#include <memory>
#include <string>

#include "platform/capture/CaptureDeviceSource.h"

namespace quorvane::platform {

class SimulatedDeviceSource final : public CaptureDeviceSource {
 public:
  SimulatedDeviceSource(std::shared_ptr<SimulatedDevicePort> port, std::string location);
  std::vector<CaptureDevice> List() override;

 private:
  std::shared_ptr<SimulatedDevicePort> port_;
  std::string location_;
};

// The simulator daemon listening on a socket (see SimulatorSocketPath).
std::shared_ptr<CaptureDeviceSource> MakeSimulatorSocketSource(const std::string& socket_path);

}  // namespace quorvane::platform
