#pragma once
// The simulated capture device in the q311-sim daemon, reached through its
// socket. Connects on first use and again after the daemon restarted.

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/capture/SimulatedDevicePort.h"
#include "platform/capture/SimulatorSocket.h"

namespace quorvane::platform {

class SocketDevicePort final : public SimulatedDevicePort {
 public:
  explicit SocketDevicePort(std::string socket_path);

  Result<SimulatedDeviceIdentity> Identify() override;
  Status SelectInput(int input) override;
  Result<VideoSignal> DetectSignal() override;
  Result<bool> IsOccupied() override;
  Status StartLearning() override;
  Result<std::optional<IrCodeBytes>> TakeLearnedCode() override;
  Status SendIrCode(const IrCodeBytes& code) override;

 private:
  // The words of an OK reply, or the daemon's error.
  Result<std::vector<std::string>> Request(const std::string& line);

  std::string path_;
  std::mutex mutex_;
  std::optional<SimulatorConnection> connection_;
};

}  // namespace quorvane::platform
