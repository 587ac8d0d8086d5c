#pragma once
// Where the hive files live. FromEnvironment() reads QUORVANE_MACHINE_DIR
// (default /var/lib/quorvane) and XDG_CONFIG_HOME (default ~/.config), so
// tests and the demo move every hive into a folder of their own.

#include <string>
#include <sys/types.h>

namespace quorvane::platform {

struct RegistryLocations {
  std::string machineDir;  // holds registry/machine.db (HKLM and HKCR)
  std::string userConfigDir;  // holds quorvane/registry/user.db (HKCU)

  static RegistryLocations FromEnvironment();

  std::string MachineHivePath() const;
  std::string UserHivePath() const;
  // The user hive of a uid as HKEY_USERS\S-1-22-1-<uid> opens it: the
  // running uid's own, or the one under that account's home folder;
  // empty when the system knows no account of that uid.
  std::string UserHivePathFor(uid_t uid) const;
};

}  // namespace quorvane::platform
