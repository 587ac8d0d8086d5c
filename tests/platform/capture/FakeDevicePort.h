#pragma once
// A simulated-device port whose answers the test sets and whose calls it reads.

#include <optional>
#include <vector>

#include "platform/capture/SimulatedDevicePort.h"

namespace quorvane::platform::testing {

class FakeDevicePort final : public SimulatedDevicePort {
 public:
  bool reachable = true;
  SimulatedDeviceIdentity identity{"Fake Q311", "@device:pnp:\\\\?\\usb#vid_0000&pid_0311#FAKEQ311#{x}\\global", 4};
  VideoSignal signal;
  bool occupied = false;
  std::optional<IrCodeBytes> learned;
  std::vector<int> selected_inputs;
  std::vector<IrCodeBytes> sent;
  int learning_started = 0;

  Result<SimulatedDeviceIdentity> Identify() override {
    if (!reachable) return MakeError("unreachable");
    return identity;
  }
  Status SelectInput(int input) override {
    if (!reachable) return MakeError("unreachable");
    selected_inputs.push_back(input);
    return Status::Ok();
  }
  Result<VideoSignal> DetectSignal() override {
    if (!reachable) return MakeError("unreachable");
    return signal;
  }
  Result<bool> IsOccupied() override {
    if (!reachable) return MakeError("unreachable");
    return occupied;
  }
  Status StartLearning() override {
    if (!reachable) return MakeError("unreachable");
    ++learning_started;
    return Status::Ok();
  }
  Result<std::optional<IrCodeBytes>> TakeLearnedCode() override {
    if (!reachable) return MakeError("unreachable");
    return std::exchange(learned, std::nullopt);
  }
  Status SendIrCode(const IrCodeBytes& code) override {
    if (!reachable) return MakeError("unreachable");
    sent.push_back(code);
    return Status::Ok();
  }
};

}  // namespace quorvane::platform::testing
