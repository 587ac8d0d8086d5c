#include "platform/capture/SimulatorSocket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/capture/SimulatorProtocol.h"

namespace quorvane::platform {

std::string SimulatorSocketPath() {
  if (const char* env = std::getenv("QUORVANE_SIM_SOCKET"); env && *env) return env;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
    return std::string(runtime) + "/quorvane/q311-sim.sock";
  }
  return "/tmp/quorvane-" + std::to_string(::getuid()) + "/q311-sim.sock";
}

Result<SimulatorConnection> SimulatorConnection::Connect(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof(address.sun_path)) {
    return MakeError("simulator socket path \"" + path + "\" is empty or too long");
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) return MakeError(std::string("cannot create a socket: ") + std::strerror(errno));
  int rc;
  do {
    rc = ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address));
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    return MakeError("no simulator is listening on " + path + " (" + std::strerror(errno) + ")");
  }
  return SimulatorConnection(std::move(fd));
}

bool SimulatorConnection::StillOpen() const {
  if (!fd_.Valid()) return false;
  pollfd p{fd_.Get(), POLLIN, 0};
  const int rc = ::poll(&p, 1, 0);
  return rc == 0;
}

Result<std::string> SimulatorConnection::Exchange(std::string_view request, std::chrono::milliseconds timeout) {
  if (!fd_.Valid()) return MakeError("the simulator connection is closed");
  if (request.find('\n') != std::string_view::npos) return MakeError("a request is one line");
  std::string out(request);
  out += '\n';
  std::size_t sent = 0;
  while (sent < out.size()) {
    const ssize_t n = ::send(fd_.Get(), out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      fd_.Reset();
      return MakeError(std::string("the simulator connection broke: ") + std::strerror(errno));
    }
    sent += static_cast<std::size_t>(n);
  }

  std::string reply;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  char buffer[4096];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      fd_.Reset();
      return MakeError("the simulator did not answer in time");
    }
    pollfd p{fd_.Get(), POLLIN, 0};
    const int rc = ::poll(&p, 1, static_cast<int>(left.count()));
    if (rc < 0 && errno == EINTR) continue;
    if (rc <= 0) continue;
    const ssize_t n = ::recv(fd_.Get(), buffer, sizeof(buffer), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      fd_.Reset();
      return MakeError("the simulator closed the connection");
    }
    reply.append(buffer, static_cast<std::size_t>(n));
    if (const auto end = reply.find('\n'); end != std::string::npos) {
      // One request, one reply: nothing follows the line break.
      reply.resize(end);
      return reply;
    }
    if (reply.size() > simwire::kMaxReplyLine) {
      fd_.Reset();
      return MakeError("the simulator's reply is too long");
    }
  }
}

}  // namespace quorvane::platform
