#include "sim/SimServer.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <list>
#include <system_error>

#include "platform/capture/SimulatorProtocol.h"
#include "platform/capture/SimulatorSocket.h"

namespace quorvane::sim {
namespace {

using platform::MakeError;
using platform::UniqueFd;

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

platform::Status PrepareFolder(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) return platform::Status::Ok();
  std::error_code ec;
  if (std::filesystem::is_directory(folder, ec)) return platform::Status::Ok();
  std::filesystem::create_directories(folder, ec);
  if (ec) return MakeError("cannot create the folder " + folder.string() + ": " + ec.message());
  ::chmod(folder.c_str(), 0700);
  return platform::Status::Ok();
}

struct Client {
  UniqueFd fd;
  std::string pending;
};

// Writes the whole reply; a client that stops reading is dropped by the
// send timeout rather than stalling every other client.
bool SendLine(int fd, const std::string& line) {
  const std::string out = line + "\n";
  std::size_t sent = 0;
  while (sent < out.size()) {
    const ssize_t n = ::send(fd, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

SimServer::SimServer(std::string path, UniqueFd listener) : path_(std::move(path)), listener_(std::move(listener)) {}

SimServer::SimServer(SimServer&& other) noexcept
    : path_(std::exchange(other.path_, std::string())), listener_(std::move(other.listener_)) {}

SimServer::~SimServer() {
  if (listener_.Valid() && !path_.empty()) ::unlink(path_.c_str());
}

platform::Result<SimServer> SimServer::Listen(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof(address.sun_path)) {
    return MakeError("socket path \"" + path + "\" is empty or longer than " +
                     std::to_string(sizeof(address.sun_path) - 1) + " bytes");
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  if (auto s = PrepareFolder(path); !s) return s.error();

  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0) {
    if (!S_ISSOCK(info.st_mode)) return MakeError(path + " exists and is not a socket");
    if (platform::SimulatorConnection::Connect(path).ok()) {
      return MakeError("a simulator is already serving on " + path);
    }
    ::unlink(path.c_str());
  }

  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) return MakeError(Errno("cannot create a socket"));
  if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    return MakeError(Errno("cannot listen on " + path));
  }
  ::chmod(path.c_str(), 0600);
  if (::listen(fd.Get(), 16) != 0) {
    const std::string message = Errno("cannot listen on " + path);
    ::unlink(path.c_str());
    return MakeError(message);
  }
  return SimServer(path, std::move(fd));
}

platform::Status SimServer::Run(CommandHandler& handler, const std::function<void()>& on_ready) {
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGHUP);
  sigset_t previous;
  if (::sigprocmask(SIG_BLOCK, &stop_signals, &previous) != 0) return MakeError(Errno("cannot block signals"));
  UniqueFd signals(::signalfd(-1, &stop_signals, SFD_CLOEXEC));
  if (!signals.Valid()) {
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    return MakeError(Errno("cannot watch signals"));
  }

  if (on_ready) on_ready();

  std::list<Client> clients;
  bool stop = false;
  while (!stop) {
    std::vector<pollfd> fds;
    fds.push_back({signals.Get(), POLLIN, 0});
    fds.push_back({listener_.Get(), POLLIN, 0});
    for (const Client& c : clients) fds.push_back({c.fd.Get(), POLLIN, 0});
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      ::sigprocmask(SIG_SETMASK, &previous, nullptr);
      return MakeError(Errno("poll failed"));
    }
    if (fds[0].revents & POLLIN) {
      // Consumed here, so that restoring the mask does not deliver it.
      signalfd_siginfo info{};
      (void)!::read(signals.Get(), &info, sizeof(info));
      break;
    }
    if (fds[1].revents & POLLIN) {
      UniqueFd accepted(::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
      if (accepted.Valid()) {
        timeval timeout{2, 0};
        ::setsockopt(accepted.Get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
        clients.push_back({std::move(accepted), {}});
      }
    }
    std::size_t index = 2;
    for (auto it = clients.begin(); it != clients.end() && index < fds.size(); ++index) {
      bool drop = false;
      if (fds[index].revents & (POLLIN | POLLHUP | POLLERR)) {
        char buffer[4096];
        const ssize_t n = ::recv(it->fd.Get(), buffer, sizeof(buffer), 0);
        if (n <= 0) {
          drop = !(n < 0 && errno == EINTR);
        } else {
          it->pending.append(buffer, static_cast<std::size_t>(n));
          std::size_t end;
          while (!drop && (end = it->pending.find('\n')) != std::string::npos) {
            std::string line = it->pending.substr(0, end);
            it->pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            drop = !SendLine(it->fd.Get(), handler.Handle(line));
            if (handler.StopRequested()) stop = true;
          }
          if (!drop && it->pending.size() > platform::simwire::kMaxRequestLine) {
            (void)SendLine(it->fd.Get(), platform::simwire::ErrorReply("request line too long"));
            drop = true;
          }
        }
      }
      it = drop ? clients.erase(it) : std::next(it);
    }
  }
  ::sigprocmask(SIG_SETMASK, &previous, nullptr);
  return platform::Status::Ok();
}

}  // namespace quorvane::sim
