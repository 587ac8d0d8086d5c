#include "platform/capture/SimulatedDeviceSource.h"

#include "platform/capture/SocketDevicePort.h"

namespace quorvane::platform {

SimulatedDeviceSource::SimulatedDeviceSource(std::shared_ptr<SimulatedDevicePort> port, std::string location)
    : port_(std::move(port)), location_(std::move(location)) {}

std::vector<CaptureDevice> SimulatedDeviceSource::List() {
  auto identity = port_->Identify();
  if (!identity.ok()) return {};
  CaptureDevice device;
  device.friendly_name = identity->friendly_name;
  device.display_name = identity->display_name;
  device.backend = CaptureBackend::kSimulator;
  device.location = location_;
  device.simulator = port_;
  return {std::move(device)};
}

std::shared_ptr<CaptureDeviceSource> MakeSimulatorSocketSource(const std::string& socket_path) {
  return std::make_shared<SimulatedDeviceSource>(std::make_shared<SocketDevicePort>(socket_path), socket_path);
}

}  // namespace quorvane::platform
