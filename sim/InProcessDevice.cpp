#include "sim/InProcessDevice.h"

#include "platform/capture/SimulatedDeviceSource.h"

namespace quorvane::sim {

platform::Result<platform::SimulatedDeviceIdentity> InProcessDevicePort::Identify() { return hardware_->Identity(); }

platform::Status InProcessDevicePort::SelectInput(int input) { return hardware_->SelectInput(input); }

platform::Result<platform::VideoSignal> InProcessDevicePort::DetectSignal() { return hardware_->DetectSignal(); }

platform::Result<bool> InProcessDevicePort::IsOccupied() { return hardware_->Occupied(); }

platform::Status InProcessDevicePort::StartLearning() { return hardware_->StartLearning(); }

platform::Result<std::optional<platform::IrCodeBytes>> InProcessDevicePort::TakeLearnedCode() {
  return hardware_->TakeLearnedCode();
}

platform::Status InProcessDevicePort::SendIrCode(const platform::IrCodeBytes& code) {
  auto key = hardware_->Blast(code);
  if (!key.ok()) return key.error();
  return platform::Status::Ok();
}

std::shared_ptr<platform::CaptureDeviceSource> MakeInProcessDeviceSource(std::shared_ptr<SimulatedHardware> hardware) {
  return std::make_shared<platform::SimulatedDeviceSource>(std::make_shared<InProcessDevicePort>(std::move(hardware)),
                                                           "in-process");
}

}  // namespace quorvane::sim
