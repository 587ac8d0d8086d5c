#pragma once
// The simulated capture device inside this process: a port for the
// capture backend and a device source for CaptureDeviceFinder, bound to a
// SimulatedHardware the caller keeps.

#include <memory>

#include "platform/capture/CaptureDeviceSource.h"
#include "platform/capture/SimulatedDevicePort.h"
#include "sim/SimulatedHardware.h"

namespace quorvane::sim {

class InProcessDevicePort final : public platform::SimulatedDevicePort {
 public:
  explicit InProcessDevicePort(std::shared_ptr<SimulatedHardware> hardware) : hardware_(std::move(hardware)) {}

  platform::Result<platform::SimulatedDeviceIdentity> Identify() override;
  platform::Status SelectInput(int input) override;
  platform::Result<platform::VideoSignal> DetectSignal() override;
  platform::Result<bool> IsOccupied() override;
  platform::Status StartLearning() override;
  platform::Result<std::optional<platform::IrCodeBytes>> TakeLearnedCode() override;
  platform::Status SendIrCode(const platform::IrCodeBytes& code) override;

 private:
  std::shared_ptr<SimulatedHardware> hardware_;
};

std::shared_ptr<platform::CaptureDeviceSource> MakeInProcessDeviceSource(std::shared_ptr<SimulatedHardware> hardware);

}  // namespace quorvane::sim
