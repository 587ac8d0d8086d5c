#include "tests/support/PrivateBus.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

namespace quorvane::testing {

namespace {

using quorvane::platform::MakeError;
using quorvane::platform::Status;

constexpr int kAddressFd = 3;

std::string Config(const std::string& socket) {
  return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
         " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
         "<busconfig>\n"
         "  <type>session</type>\n"
         "  <listen>unix:path=" + socket + "</listen>\n"
         "  <auth>EXTERNAL</auth>\n"
         "  <policy context=\"default\">\n"
         "    <allow user=\"*\"/>\n"
         "    <allow own=\"*\"/>\n"
         "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
         "    <allow eavesdrop=\"true\"/>\n"
         "  </policy>\n"
         "</busconfig>\n";
}

}  // namespace

PrivateBus::PrivateBus(Role role) : role_(role) {
  if (Status status = Start(); !status) {
    error_ = status.error().message;
    Stop();
  }
}

PrivateBus::~PrivateBus() { Stop(); }

const char* PrivateBus::variable() const {
  return role_ == Role::kSession ? "DBUS_SESSION_BUS_ADDRESS" : "DBUS_SYSTEM_BUS_ADDRESS";
}

Status PrivateBus::Start() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quorvane-bus-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return MakeError(std::string("mkdtemp: ") + std::strerror(errno));
  folder_ = pattern;
  const std::string config = folder_ + "/bus.conf";
  {
    std::ofstream out(config);
    out << Config(folder_ + "/socket");
    if (!out) return MakeError("cannot write " + config);
  }

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return MakeError(std::string("pipe: ") + std::strerror(errno));
  const std::string configArg = "--config-file=" + config;
  const std::string printArg = "--print-address=" + std::to_string(kAddressFd);
  std::vector<char*> argv = {const_cast<char*>("dbus-daemon"), const_cast<char*>(configArg.c_str()),
                             const_cast<char*>("--nofork"), const_cast<char*>("--nopidfile"),
                             const_cast<char*>(printArg.c_str()), nullptr};
  // The daemon's complaints (it cannot raise its fd limit in a container)
  // go to a log that is shown only when it fails to start.
  const std::string log = folder_ + "/daemon.log";
  const int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid < 0) {
    if (logFd >= 0) ::close(logFd);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    return MakeError(std::string("fork: ") + std::strerror(errno));
  }
  if (pid == 0) {
    // Only async-signal-safe calls until exec.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
    ::dup2(pipeFds[1], kAddressFd);  // dup2 clears close-on-exec
    if (logFd >= 0) {
      ::dup2(logFd, STDOUT_FILENO);
      ::dup2(logFd, STDERR_FILENO);
    }
    ::execvp("dbus-daemon", argv.data());
    ::_exit(127);
  }
  pid_ = pid;
  if (logFd >= 0) ::close(logFd);
  ::close(pipeFds[1]);

  std::string line;
  char c;
  for (;;) {
    const ssize_t n = ::read(pipeFds[0], &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || c == '\n') break;
    line.push_back(c);
  }
  ::close(pipeFds[0]);
  if (line.empty()) {
    std::ifstream in(log);
    const std::string output((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return MakeError("dbus-daemon did not start (is it installed?) " + output);
  }
  address_ = line;

  if (const char* old = std::getenv(variable()); old != nullptr) previous_ = old;
  ::setenv(variable(), address_.c_str(), 1);
  exported_ = true;
  return Status::Ok();
}

void PrivateBus::Stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }
  if (exported_) {
    if (previous_) {
      ::setenv(variable(), previous_->c_str(), 1);
    } else {
      ::unsetenv(variable());
    }
    previous_.reset();
    exported_ = false;
  }
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    folder_.clear();
  }
}

}  // namespace quorvane::testing
