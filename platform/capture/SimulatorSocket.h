#pragma once
// Where the q311-sim daemon listens, and a client connection to it.

#include <chrono>
#include <string>
#include <string_view>

#include "platform/base/Result.h"
#include "platform/capture/UniqueFd.h"

namespace quorvane::platform {

// $QUORVANE_SIM_SOCKET, else $XDG_RUNTIME_DIR/quorvane/q311-sim.sock, else
// /tmp/quorvane-<uid>/q311-sim.sock.
std::string SimulatorSocketPath();

class SimulatorConnection {
 public:
  static Result<SimulatorConnection> Connect(const std::string& path);

  // Sends one request line and waits for its reply line (without the
  // line break).
  Result<std::string> Exchange(std::string_view request,
                               std::chrono::milliseconds timeout = std::chrono::seconds(5));

  // The daemon never speaks unasked: anything readable on an idle
  // connection means it has closed.
  bool StillOpen() const;

 private:
  explicit SimulatorConnection(UniqueFd fd) : fd_(std::move(fd)) {}
  UniqueFd fd_;
};

}  // namespace quorvane::platform
