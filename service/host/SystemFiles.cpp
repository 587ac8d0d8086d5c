#include "service/host/SystemFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "interface/bus/ScheduleProgramBus.h"
#include "platform/paths/UserFolders.h"
#include "service/host/ServiceIdentity.h"

namespace TESKTV::SERVICE {

namespace platform = quorvane::platform;
namespace automation = quorvane::automation;

namespace {

const std::string kActivationName = std::string(automation::kBusName) + ".service";
const std::string kPolicyName = std::string(automation::kBusName) + ".conf";

// The bus and systemd split Exec lines at blanks; a path with blanks is quoted.
std::string CommandOf(const std::string& executable) {
  if (executable.find_first_of(" \t") == std::string::npos) return executable;
  return "\"" + executable + "\"";
}

platform::Error Failure(const std::string& what, int error) {
  return platform::MakeError(what + ": " + std::strerror(error));
}

}  // namespace

SystemFileLocations SystemFileLocations::FromEnvironment() {
  SystemFileLocations locations;
  if (const char* root = std::getenv("QUORVANE_SYSTEM_ROOT"); root != nullptr && *root == '/') {
    locations.root = root;
    while (locations.root.size() > 1 && locations.root.back() == '/') locations.root.pop_back();
  }
  if (auto data = platform::LocalAppDataFolder()) locations.sessionServicesDir = *data + "/dbus-1/services";
  return locations;
}

std::string SystemFileLocations::SessionActivationFile() const { return sessionServicesDir + "/" + kActivationName; }
std::string SystemFileLocations::SystemActivationFile() const {
  return root + "/usr/share/dbus-1/system-services/" + kActivationName;
}
std::string SystemFileLocations::PolicyFile() const { return root + "/etc/dbus-1/system.d/" + kPolicyName; }
std::string SystemFileLocations::UnitFile() const { return root + "/etc/systemd/system/" + kUnitName; }

std::string ActivationFileText(const std::string& executable, bool systemService) {
  std::string text = "[D-BUS Service]\nName=" + std::string(automation::kBusName) + "\nExec=" + CommandOf(executable) +
                     "\n";
  if (systemService) text += "User=root\nSystemdService=" + std::string(kUnitName) + "\n";
  return text;
}

std::string UnitFileText(const std::string& executable, const std::string& workingDirectory) {
  return "# " + std::string(kServiceDescription) +
         "\n"
         "[Unit]\n"
         "Description=" + std::string(kServiceName) +
         "\n"
         "Requires=dbus.socket\n"
         "After=dbus.socket\n"
         "\n"
         "[Service]\n"
         "Type=notify\n"
         "BusName=" + std::string(automation::kBusName) +
         "\n"
         "ExecStart=" + CommandOf(executable) +
         "\n"
         "WorkingDirectory=-" + workingDirectory +
         "\n"
         "\n"
         "[Install]\n"
         "WantedBy=multi-user.target\n";
}

std::string PolicyFileText() {
  const std::string name = automation::kBusName;
  return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN\"\n"
         " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
         "<busconfig>\n"
         "  <policy user=\"root\">\n"
         "    <allow own=\"" + name + "\"/>\n"
         "  </policy>\n"
         "  <policy context=\"default\">\n"
         "    <allow send_destination=\"" + name + "\"/>\n"
         "  </policy>\n"
         "</busconfig>\n";
}

platform::Status WriteSystemFile(const std::string& path, const std::string& text) {
  const std::filesystem::path target(path);
  std::error_code error;
  std::filesystem::create_directories(target.parent_path(), error);
  if (error) return platform::MakeError("cannot make " + target.parent_path().string() + ": " + error.message());
  const std::string temporary = path + ".new";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return Failure("cannot write " + temporary, errno);
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int saved = errno;
      ::close(fd);
      ::unlink(temporary.c_str());
      return Failure("cannot write " + temporary, saved);
    }
    written += static_cast<std::size_t>(n);
  }
  ::fchmod(fd, 0644);
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    const int saved = errno;
    ::unlink(temporary.c_str());
    return Failure("cannot write " + temporary, saved);
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const int saved = errno;
    ::unlink(temporary.c_str());
    return Failure("cannot replace " + path, saved);
  }
  return platform::Status::Ok();
}

platform::Status RemoveSystemFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) return Failure("cannot remove " + path, errno);
  return platform::Status::Ok();
}

}  // namespace TESKTV::SERVICE
