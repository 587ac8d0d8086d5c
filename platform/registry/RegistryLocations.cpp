#include "platform/registry/RegistryLocations.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace quorvane::platform {
namespace {

constexpr const char* kDefaultMachineDir = "/var/lib/quorvane";

std::string EnvOrEmpty(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string HomeOf(uid_t uid) {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir) return {};
  return found->pw_dir;
}

std::string OwnHome() {
  std::string home = EnvOrEmpty("HOME");
  return home.empty() ? HomeOf(geteuid()) : home;
}

}  // namespace

RegistryLocations RegistryLocations::FromEnvironment() {
  RegistryLocations locations;
  locations.machineDir = EnvOrEmpty("QUORVANE_MACHINE_DIR");
  if (locations.machineDir.empty()) locations.machineDir = kDefaultMachineDir;
  // A relative XDG_CONFIG_HOME is invalid and ignored, as the base-directory rules say.
  locations.userConfigDir = EnvOrEmpty("XDG_CONFIG_HOME");
  if (locations.userConfigDir.empty() || locations.userConfigDir.front() != '/') {
    locations.userConfigDir = OwnHome() + "/.config";
  }
  return locations;
}

std::string RegistryLocations::MachineHivePath() const { return machineDir + "/registry/machine.db"; }

std::string RegistryLocations::UserHivePath() const { return userConfigDir + "/quorvane/registry/user.db"; }

std::string RegistryLocations::UserHivePathFor(uid_t uid) const {
  if (uid == geteuid()) return UserHivePath();
  const std::string home = HomeOf(uid);
  if (home.empty()) return {};
  return home + "/.config/quorvane/registry/user.db";
}

}  // namespace quorvane::platform
