#pragma once
// The executable's front: the command-line switches (registration as a
// plain local server or as a service, unregistration) and the choice of
// how to run without them.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/Result.h"
#include "platform/registry/Registry.h"
#include "platform/session/ConsoleUser.h"
#include "service/host/ClassRegistration.h"
#include "service/host/SystemFiles.h"

namespace TESKTV::SERVICE {

enum class ModuleSwitch { kRegServer, kService, kUnregServer };

// The first argument that is "-" or "/" followed by a switch name
// (compared ignoring case); nothing when there is none.
std::optional<ModuleSwitch> ParseSwitch(const std::vector<std::string>& arguments);

// Whether systemd started this process as a service: it gave the
// process an invocation id, the system runs systemd, and systemd is the
// parent.
bool StartedBySystemd();

class CServiceModule {
 public:
  struct Environment {
    quorvane::platform::RegistryLocations registry;
    SystemFileLocations files;
    std::string executable;  // this program's path
    static quorvane::platform::Result<Environment> FromProcess();
  };

  explicit CServiceModule(Environment environment);

  // Handles the switches or runs; the process's exit code.
  int Main(const std::vector<std::string>& arguments);

  // Registration as a plain local server (`asService` false) or a service.
  quorvane::platform::Status RegisterServer(bool asService);
  // Removes every registration; what is not there is fine.
  void UnregisterServer();
  // Installs the systemd unit, the bus policy and the system activation file.
  quorvane::platform::Status InstallService();
  // Stops and removes the service; true when nothing is left.
  quorvane::platform::Status UninstallService();
  // Whether the registration makes this a service.
  bool IsServiceRegistered() const;
  // How a start without switches runs.
  quorvane::platform::ProcessRole ChooseRole() const;

 private:
  // systemctl, only for the real system.
  void Systemctl(const std::vector<std::string>& arguments) const;
  bool ManagesRealSystem() const;

  Environment environment_;
  ClassRegistration classes_;
};

}  // namespace TESKTV::SERVICE
