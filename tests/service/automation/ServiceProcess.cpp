#include "tests/service/automation/ServiceProcess.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace quorvane::testing {

namespace {

using platform::MakeError;
using platform::Status;

std::vector<char*> Pointers(std::vector<std::string>& words) {
  std::vector<char*> pointers;
  for (std::string& word : words) pointers.push_back(word.data());
  pointers.push_back(nullptr);
  return pointers;
}

// The process environment with `changes` ("NAME=value") applied.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& changes) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    bool replaced = false;
    for (const std::string& change : changes) replaced = replaced || change.substr(0, change.find('=')) == name;
    if (!replaced) result.push_back(text);
  }
  result.insert(result.end(), changes.begin(), changes.end());
  return result;
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

}  // namespace

ServiceProcess::~ServiceProcess() {
  Terminate();
  (void)WaitForExit(std::chrono::seconds(20));
  if (pid_ > 0 && !exitCode_) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  if (pidFd_ >= 0) ::close(pidFd_);
  if (outFd_ >= 0) ::close(outFd_);
}

Status ServiceProcess::Start(const std::vector<std::string>& arguments, std::chrono::milliseconds timeout) {
  const char* program = std::getenv("QUORVANE_WAKEWARD");
  if (program == nullptr) return MakeError("QUORVANE_WAKEWARD is not set");
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return MakeError(std::string("pipe: ") + std::strerror(errno));
  std::vector<std::string> words = {program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv = Pointers(words);
  const pid_t pid = ::fork();
  if (pid < 0) return MakeError(std::string("fork: ") + std::strerror(errno));
  if (pid == 0) {
    ::dup2(pipeFds[1], STDOUT_FILENO);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  pid_ = pid;
  outFd_ = pipeFds[0];
  pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (output_.find("TeskIrWakeward started") == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return MakeError("TeskIrWakeward did not start: " + output_);
    pollfd fd{outFd_, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[1024];
    const ssize_t n = ::read(outFd_, buffer, sizeof buffer);
    if (n <= 0) return MakeError("TeskIrWakeward ended before it started: " + output_);
    output_.append(buffer, static_cast<std::size_t>(n));
  }
  ::fcntl(outFd_, F_SETFL, O_NONBLOCK);
  return Status::Ok();
}

void ServiceProcess::Terminate() {
  if (pid_ > 0 && !exitCode_) ::kill(pid_, SIGTERM);
}

std::optional<int> ServiceProcess::WaitForExit(std::chrono::milliseconds timeout) {
  if (exitCode_ || pid_ <= 0) return exitCode_;
  if (pidFd_ >= 0) {
    pollfd fd{pidFd_, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(timeout.count())) <= 0) return std::nullopt;
  }
  int status = 0;
  if (::waitpid(pid_, &status, 0) != pid_) return std::nullopt;
  exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return exitCode_;
}

const std::string& ServiceProcess::Output() {
  if (outFd_ >= 0) output_ += ReadAll(outFd_);
  return output_;
}

RunResult RunProgram(const std::vector<std::string>& argvWords, std::optional<uid_t> asUser,
                     const std::vector<std::string>& environment) {
  RunResult result;
  int outPipe[2];
  int errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0) return result;
  if (::pipe2(errPipe, O_CLOEXEC) != 0) return result;
  std::vector<std::string> words = argvWords;
  std::vector<char*> argv = Pointers(words);
  std::vector<std::string> envWords = EnvironmentWith(environment);
  std::vector<char*> envp = Pointers(envWords);
  gid_t gid = 0;
  if (asUser) {
    const passwd* entry = ::getpwuid(*asUser);
    gid = entry != nullptr ? entry->pw_gid : *asUser;
  }
  const pid_t pid = ::fork();
  if (pid < 0) return result;
  if (pid == 0) {
    ::dup2(outPipe[1], STDOUT_FILENO);
    ::dup2(errPipe[1], STDERR_FILENO);
    if (asUser) {
      if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 ||
          ::setresuid(*asUser, *asUser, *asUser) != 0) {
        ::_exit(126);
      }
    }
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  // Both pipes are read together so that neither fills up.
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  int open = 2;
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) break;
    for (pollfd& fd : fds) {
      if (fd.fd < 0 || (fd.revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fd.fd, buffer, sizeof buffer);
      if (n <= 0) {
        ::close(fd.fd);
        fd.fd = -1;
        --open;
        continue;
      }
      (fd.fd == outPipe[0] ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
    }
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace quorvane::testing
