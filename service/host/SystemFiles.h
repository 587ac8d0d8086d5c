#pragma once
// The files outside the registry that make the server reachable: the
// D-Bus activation file (the bus starts the executable for the first
// client), and for a system service the systemd unit and the bus policy
// that lets the service own its name on the system bus.
//
// The system locations can be moved under a root folder by
// $QUORVANE_SYSTEM_ROOT (nothing is then asked of systemd); the session
// activation file lives in $XDG_DATA_HOME/dbus-1/services.

#include <string>

#include "platform/base/Result.h"

namespace TESKTV::SERVICE {

struct SystemFileLocations {
  std::string root;                // "" for the real system
  std::string sessionServicesDir;  // session bus activation files

  static SystemFileLocations FromEnvironment();

  std::string SessionActivationFile() const;
  std::string SystemActivationFile() const;
  std::string PolicyFile() const;
  std::string UnitFile() const;
};

// Activation file of the session bus (plain process) or the system bus
// (started through the systemd unit).
std::string ActivationFileText(const std::string& executable, bool systemService);
// The systemd unit of the system service; `workingDirectory` is where
// the service log's switch file is looked for.
std::string UnitFileText(const std::string& executable, const std::string& workingDirectory);
// Root owns the name; everybody may call (the service checks who).
std::string PolicyFileText();

// Writes `text` to `path` through a temporary file renamed over it, making
// the folders; the file is readable by everybody.
quorvane::platform::Status WriteSystemFile(const std::string& path, const std::string& text);
// Removes the file; a missing file is fine.
quorvane::platform::Status RemoveSystemFile(const std::string& path);

}  // namespace TESKTV::SERVICE
