#pragma once
// Turns one request line of the daemon's protocol (see
// platform/capture/SimulatorProtocol.h) into its reply line.

#include <string>
#include <string_view>

#include "sim/SimulatedHardware.h"

namespace quorvane::sim {

class CommandHandler {
 public:
  explicit CommandHandler(SimulatedHardware& hardware) : hardware_(hardware) {}

  std::string Handle(std::string_view line);
  // A STOP request has been answered; the daemon ends.
  bool StopRequested() const { return stop_requested_; }

 private:
  SimulatedHardware& hardware_;
  bool stop_requested_ = false;
};

}  // namespace quorvane::sim
