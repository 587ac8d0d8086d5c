#pragma once
// The q311-sim daemon's socket server: one poll loop serving any number of
// clients, one request line and one reply line at a time, until STOP or
// SIGTERM/SIGINT/SIGHUP. The socket file is removed when it ends.

#include <functional>
#include <string>

#include "platform/base/Result.h"
#include "platform/capture/UniqueFd.h"
#include "sim/CommandHandler.h"

namespace quorvane::sim {

class SimServer {
 public:
  // Creates the socket's folder (0700) when missing. A socket file left by
  // a simulator that is gone is replaced; a live one is an error.
  static platform::Result<SimServer> Listen(const std::string& path);

  SimServer(SimServer&& other) noexcept;
  SimServer& operator=(SimServer&&) = delete;
  SimServer(const SimServer&) = delete;
  ~SimServer();

  // on_ready runs once the server takes requests and stop signals.
  platform::Status Run(CommandHandler& handler, const std::function<void()>& on_ready = {});
  const std::string& Path() const { return path_; }

 private:
  SimServer(std::string path, platform::UniqueFd listener);

  std::string path_;
  platform::UniqueFd listener_;
};

}  // namespace quorvane::sim
