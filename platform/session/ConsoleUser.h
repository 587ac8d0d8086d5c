#pragma once
// The user logged on at the console: the person whose schedules, device
// entries and desktop the service works with. Providers tell who that is;
// which provider applies depends on how the process runs (a system service
// asks logind, a plain process serves the user it runs as).

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>

namespace quorvane::platform {

struct ConsoleUser {
  uid_t uid = 0;
  std::string name;  // account name; empty when the user database knows no account of uid
  std::string home;  // home folder; empty as well then
  std::string sid;   // "S-1-22-1-<uid>", the first element of HKEY_USERS paths

  bool operator==(const ConsoleUser&) const = default;
};

class ConsoleUserProvider {
 public:
  virtual ~ConsoleUserProvider() = default;
  // Nothing while no user session is active at the console.
  virtual std::optional<ConsoleUser> CurrentConsoleUser() const = 0;
};

// The account of uid as the user database has it (name and home empty when
// it has none); the SID is always filled in.
ConsoleUser LookUpConsoleUser(uid_t uid);

enum class ProcessRole { kSystemService, kPlainProcess };

// logind's seat0 for a system service, the process's own user otherwise.
std::unique_ptr<ConsoleUserProvider> MakeConsoleUserProvider(ProcessRole role);

}  // namespace quorvane::platform
