#include "iepg/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace quorvane::iepg {

using platform::MakeError;
using platform::Result;
using platform::Status;

namespace {

// posix_spawn's attribute and file-action objects, freed on every path.
class SpawnSetup {
 public:
  SpawnSetup() {
    attrOk_ = ::posix_spawnattr_init(&attr_) == 0;
    actionsOk_ = ::posix_spawn_file_actions_init(&actions_) == 0;
  }
  ~SpawnSetup() {
    if (attrOk_) ::posix_spawnattr_destroy(&attr_);
    if (actionsOk_) ::posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // The child starts with default signal handling and an empty mask,
  // whatever this process has set, and reads nothing from our input;
  // with `dropOutput` its standard output goes nowhere.
  bool Prepare(bool newSession, bool dropOutput) {
    if (!attrOk_ || !actionsOk_) return false;
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (newSession) flags |= POSIX_SPAWN_SETSID;
    return ::posix_spawnattr_setsigmask(&attr_, &none) == 0 && ::posix_spawnattr_setsigdefault(&attr_, &all) == 0 &&
           ::posix_spawnattr_setflags(&attr_, flags) == 0 &&
           ::posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0) == 0 &&
           (!dropOutput || ::posix_spawn_file_actions_addopen(&actions_, STDOUT_FILENO, "/dev/null", O_WRONLY, 0) == 0);
  }

  posix_spawnattr_t* attr() { return &attr_; }
  posix_spawn_file_actions_t* actions() { return &actions_; }

 private:
  posix_spawnattr_t attr_{};
  posix_spawn_file_actions_t actions_{};
  bool attrOk_ = false;
  bool actionsOk_ = false;
};

std::vector<char*> ArgumentVector(std::vector<std::string>& words) {
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  return argv;
}

}  // namespace

Status SpawnLauncher::Start(const std::string& path) {
  SpawnSetup setup;
  if (!setup.Prepare(true, false)) return MakeError("cannot prepare to start " + path);
  std::vector<std::string> words{path};
  std::vector<char*> argv = ArgumentVector(words);
  pid_t pid = -1;
  const int error = ::posix_spawn(&pid, path.c_str(), setup.actions(), setup.attr(), argv.data(), environ);
  if (error != 0) return MakeError("cannot start " + path + ": " + std::strerror(error));
  return Status::Ok();
}

Result<std::optional<int>> RunInstalledTool(const std::vector<std::string>& command) {
  if (command.empty()) return MakeError("no program to run");
  SpawnSetup setup;
  if (!setup.Prepare(false, true)) return MakeError("cannot prepare to run " + command.front());
  std::vector<std::string> words = command;
  std::vector<char*> argv = ArgumentVector(words);
  pid_t pid = -1;
  const int error = ::posix_spawnp(&pid, words.front().c_str(), setup.actions(), setup.attr(), argv.data(), environ);
  if (error == ENOENT) return std::optional<int>();
  if (error != 0) return MakeError("cannot run " + command.front() + ": " + std::strerror(error));
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return MakeError("cannot wait for " + command.front() + ": " + std::strerror(errno));
  }
  if (WIFEXITED(status)) return std::optional<int>(WEXITSTATUS(status));
  return std::optional<int>(128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0));
}

}  // namespace quorvane::iepg
