#pragma once
// Temporary hives for tests, and running a piece of a test in a child
// process without write rights to the machine hive.

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

#include "platform/registry/RegistryLocations.h"

namespace quorvane::testing {

// The account a root test drops to; an ordinary user needs no other one.
inline constexpr uid_t kUnprivilegedId = 65534;

inline bool RunningAsRoot() { return geteuid() == 0; }

class TempFolder {
 public:
  TempFolder() : TempFolder(DefaultBase()) {}
  explicit TempFolder(const std::string& base) {
    std::string pattern = base + "/quorvane-reg-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
  }
  ~TempFolder() {
    // Tests take write rights away; give them back so the folder can go.
    std::error_code ignored;
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
      chmod(it->path().c_str(), it->is_directory(ignored) ? 0755 : 0644);
    }
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }

  static std::string DefaultBase() {
    const char* base = std::getenv("TMPDIR");
    return base && *base ? base : "/tmp";
  }
  // A memory file system where there is one: there a commit costs no disk
  // flush, for tests that make thousands of them.
  static std::string MemoryBase() { return access("/dev/shm", W_OK | X_OK) == 0 ? "/dev/shm" : DefaultBase(); }

 private:
  std::string path_;
};

struct TempHives {
  TempHives() = default;
  explicit TempHives(const std::string& base) : folder(base) {}

  TempFolder folder;
  platform::RegistryLocations locations{folder.path() + "/machine", folder.path() + "/config"};

  // Points the environment at these hives, for programs started by the test.
  void Export() const {
    setenv("QUORVANE_MACHINE_DIR", locations.machineDir.c_str(), 1);
    setenv("XDG_CONFIG_HOME", locations.userConfigDir.c_str(), 1);
  }
};

// Runs fn in a forked child and returns its exit status (fn's result), or
// -1 when the child did not end normally.
inline int RunInChild(const std::function<int()>& fn) {
  const pid_t pid = fork();
  if (pid == 0) _exit(fn());
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Takes the machine hive's write rights from the account that runs fn:
// as root, fn runs as an unprivileged account (which gets its own user
// hive folder); otherwise the machine hive and its folder become read-only.
// The machine hive must exist already.
inline int RunWithoutMachineWriteRights(const TempHives& hives, const std::function<int()>& fn) {
  const std::string hiveFolder = hives.locations.machineDir + "/registry";
  if (RunningAsRoot()) {
    chmod(hives.folder.path().c_str(), 0755);
    std::filesystem::create_directories(hives.locations.userConfigDir);
    if (chown(hives.locations.userConfigDir.c_str(), kUnprivilegedId, kUnprivilegedId) != 0) return -1;
    return RunInChild([&] {
      if (setgroups(0, nullptr) != 0 || setgid(kUnprivilegedId) != 0 || setuid(kUnprivilegedId) != 0) return 99;
      return fn();
    });
  }
  chmod((hiveFolder + "/machine.db").c_str(), 0444);
  chmod(hiveFolder.c_str(), 0555);
  const int result = RunInChild(fn);
  chmod(hiveFolder.c_str(), 0755);
  chmod((hiveFolder + "/machine.db").c_str(), 0644);
  return result;
}

}  // namespace quorvane::testing
