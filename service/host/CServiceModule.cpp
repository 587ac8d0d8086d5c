#include "service/host/CServiceModule.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/base/Utf16.h"
#include "platform/paths/ExecutablePath.h"
#include "service/host/ServiceHost.h"
#include "service/host/ServiceIdentity.h"

extern char** environ;

namespace TESKTV::SERVICE {

namespace platform = quorvane::platform;
using platform::Status;

namespace {

bool IsFile(const std::string& path) {
  struct stat info{};
  return ::stat(path.c_str(), &info) == 0;
}

void Complain(const std::string& text) { std::fprintf(stderr, "%s: %s\n", kServiceName, text.c_str()); }

}  // namespace

std::optional<ModuleSwitch> ParseSwitch(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (argument.empty() || (argument[0] != '-' && argument[0] != '/')) continue;
    const std::string_view token = std::string_view(argument).substr(1);
    if (platform::EqualsIgnoringCase(token, "UnregServer")) return ModuleSwitch::kUnregServer;
    if (platform::EqualsIgnoringCase(token, "RegServer")) return ModuleSwitch::kRegServer;
    if (platform::EqualsIgnoringCase(token, "Service")) return ModuleSwitch::kService;
  }
  return std::nullopt;
}

bool StartedBySystemd() {
  const char* invocation = std::getenv("INVOCATION_ID");
  return invocation != nullptr && *invocation != '\0' && sd_booted() > 0 && ::getppid() == 1;
}

platform::Result<CServiceModule::Environment> CServiceModule::Environment::FromProcess() {
  auto executable = platform::ExecutablePath();
  if (!executable) return executable.error();
  return Environment{platform::RegistryLocations::FromEnvironment(), SystemFileLocations::FromEnvironment(),
                     std::move(*executable)};
}

CServiceModule::CServiceModule(Environment environment)
    : environment_(std::move(environment)), classes_(platform::Registry(environment_.registry)) {}

bool CServiceModule::ManagesRealSystem() const { return environment_.files.root.empty() && sd_booted() > 0; }

void CServiceModule::Systemctl(const std::vector<std::string>& arguments) const {
  if (!ManagesRealSystem()) return;
  std::vector<std::string> words = {"systemctl"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawnp(&pid, "systemctl", nullptr, nullptr, argv.data(), environ) != 0) return;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

bool CServiceModule::IsServiceRegistered() const { return classes_.IsLocalService(); }

platform::ProcessRole CServiceModule::ChooseRole() const {
  // Registered as a service but started by hand: there is no service
  // manager to talk to, so it runs as a plain process.
  if (IsServiceRegistered() && StartedBySystemd()) return platform::ProcessRole::kSystemService;
  return platform::ProcessRole::kPlainProcess;
}

Status CServiceModule::InstallService() {
  const SystemFileLocations& files = environment_.files;
  if (Status s = WriteSystemFile(files.PolicyFile(), PolicyFileText()); !s) return s;
  if (Status s = WriteSystemFile(files.SystemActivationFile(), ActivationFileText(environment_.executable, true)); !s) {
    return s;
  }
  if (Status s = WriteSystemFile(files.UnitFile(), UnitFileText(environment_.executable, environment_.registry.machineDir));
      !s) {
    return platform::MakeError("Couldn't create service: " + s.error().message);
  }
  Systemctl({"daemon-reload"});
  Systemctl({"enable", kUnitName});
  return Status::Ok();
}

Status CServiceModule::UninstallService() {
  const SystemFileLocations& files = environment_.files;
  if (IsFile(files.UnitFile())) {
    Systemctl({"disable", "--now", kUnitName});
    if (Status s = RemoveSystemFile(files.UnitFile()); !s) {
      return platform::MakeError("Service could not be deleted: " + s.error().message);
    }
    Systemctl({"daemon-reload"});
  }
  if (Status s = RemoveSystemFile(files.SystemActivationFile()); !s) return s;
  return RemoveSystemFile(files.PolicyFile());
}

Status CServiceModule::RegisterServer(bool asService) {
  if (Status s = UninstallService(); !s) return s;
  if (Status s = classes_.RegisterAppId(); !s) return s;
  if (Status s = classes_.SetLocalService(false); !s) return s;
  if (asService) {
    if (Status s = classes_.SetLocalService(true); !s) return s;
    if (Status s = InstallService(); !s) return s;
    // A system service is started by the system bus, not by the user's.
    if (Status s = RemoveSystemFile(environment_.files.SessionActivationFile()); !s) return s;
  } else {
    if (environment_.files.sessionServicesDir.empty()) {
      return platform::MakeError("no folder for the session bus activation file");
    }
    if (Status s = WriteSystemFile(environment_.files.SessionActivationFile(),
                                   ActivationFileText(environment_.executable, false));
        !s) {
      return s;
    }
  }
  return classes_.RegisterClasses(environment_.executable);
}

void CServiceModule::UnregisterServer() {
  if (Status s = classes_.UnregisterAppId(); !s) Complain(s.error().message);
  if (Status s = UninstallService(); !s) Complain(s.error().message);
  if (Status s = classes_.UnregisterClasses(); !s) Complain(s.error().message);
  if (!environment_.files.sessionServicesDir.empty()) {
    if (Status s = RemoveSystemFile(environment_.files.SessionActivationFile()); !s) Complain(s.error().message);
  }
}

int CServiceModule::Main(const std::vector<std::string>& arguments) {
  if (const auto choice = ParseSwitch(arguments)) {
    if (*choice == ModuleSwitch::kUnregServer) {
      UnregisterServer();
      return 0;
    }
    const Status registered = RegisterServer(*choice == ModuleSwitch::kService);
    if (!registered) {
      Complain(registered.error().message);
      return 1;
    }
    return 0;
  }
  HostOptions options;
  options.role = ChooseRole();
  options.registry = environment_.registry;
  options.handleSignals = true;
  ServiceHost host(std::move(options));
  return host.Run();
}

}  // namespace TESKTV::SERVICE
