#pragma once
// Starts a program in the console user's session: as that user, in the
// program's own folder, with that user's environment rather than the
// starting process's. A root process hands the start to the user's service
// manager (systemd-run --user --machine=<user>@.host) when it has one, and
// otherwise forks and drops to the user's groups and ids; a process that
// runs as the user already just spawns the program. Nothing is read back
// from the program; it is reaped when it ends.

#include <sys/types.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/base/Result.h"
#include "platform/session/ConsoleUser.h"

namespace quorvane::platform {

struct LaunchRequest {
  std::string program;            // absolute path
  std::vector<std::string> args;  // after the program name
  std::string workingFolder;      // the program's folder when empty
  bool maximised = false;         // a hint for a windowed program
};

class ProgramLauncher {
 public:
  virtual ~ProgramLauncher() = default;
  virtual Status Launch(const ConsoleUser& user, const LaunchRequest& request) = 0;
};

// The folder part of `program` (up to its last '/'); "/" for a program in
// the root, empty for a bare name.
std::string ProgramFolder(const std::string& program);

class ConsoleSessionLauncher final : public ProgramLauncher {
 public:
  enum class Route { kSpawn, kSystemdRun, kForkAsUser };

  // `systemdRun`: the systemd-run to use; empty: no user-manager route.
  explicit ConsoleSessionLauncher(std::string systemdRun = "/usr/bin/systemd-run");

  Status Launch(const ConsoleUser& user, const LaunchRequest& request) override;
  // The route the last successful Launch took.
  Route LastRoute() const;

 private:
  Status LaunchWithSystemdRun(const ConsoleUser& user, const LaunchRequest& request, const std::string& folder);

  std::string systemdRun_;
  mutable std::mutex mutex_;
  Route lastRoute_ = Route::kSpawn;
};

// Records the requests and starts nothing; for tests.
class RecordingLauncher final : public ProgramLauncher {
 public:
  struct Launched {
    ConsoleUser user;
    LaunchRequest request;
  };
  explicit RecordingLauncher(bool succeed = true) : succeed_(succeed) {}

  Status Launch(const ConsoleUser& user, const LaunchRequest& request) override {
    std::lock_guard lock(mutex_);
    launched_.push_back({user, request});
    if (!succeed_) return MakeError("starting programs is switched off");
    return Status::Ok();
  }
  std::vector<Launched> Launches() const {
    std::lock_guard lock(mutex_);
    return launched_;
  }
  void SetSucceed(bool succeed) {
    std::lock_guard lock(mutex_);
    succeed_ = succeed;
  }

 private:
  mutable std::mutex mutex_;
  bool succeed_;
  std::vector<Launched> launched_;
};

}  // namespace quorvane::platform
