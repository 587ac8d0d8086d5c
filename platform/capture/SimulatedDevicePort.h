#pragma once
// What the simulator backend of the capture device talks to: the simulated
// capture device, either in this process or in the q311-sim daemon.

#include <optional>
#include <string>

#include "platform/base/Result.h"
#include "platform/capture/IrCode.h"

namespace quorvane::platform {

struct SimulatedDeviceIdentity {
  std::string friendly_name;
  std::string display_name;  // moniker-like, see CaptureDevice
  int input_count = 0;       // video inputs are numbered 1..input_count
};

struct VideoSignal {
  bool locked = false;
  std::int32_t format = 0;  // 0 while no picture is locked
};

class SimulatedDevicePort {
 public:
  virtual ~SimulatedDevicePort() = default;

  virtual Result<SimulatedDeviceIdentity> Identify() = 0;
  virtual Status SelectInput(int input) = 0;
  virtual Result<VideoSignal> DetectSignal() = 0;
  virtual Result<bool> IsOccupied() = 0;
  // Arms the IR sensor: the next remote press is kept for TakeLearnedCode.
  virtual Status StartLearning() = 0;
  // The captured code, once; nothing while no press has arrived since
  // StartLearning.
  virtual Result<std::optional<IrCodeBytes>> TakeLearnedCode() = 0;
  // The blaster sends the code to whatever faces it (the set-top box).
  virtual Status SendIrCode(const IrCodeBytes& code) = 0;
};

}  // namespace quorvane::platform
