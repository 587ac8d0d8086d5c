#include "platform/session/ProcessUserProvider.h"

#include <unistd.h>

#include <cstdlib>

namespace quorvane::platform {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

}  // namespace

std::optional<ConsoleUser> ProcessUserProvider::CurrentConsoleUser() const {
  // The effective uid: the one whose files (the user hive) the process reaches.
  ConsoleUser user = LookUpConsoleUser(geteuid());
  // Containers often run uids the user database does not list; the login
  // environment still names the user then.
  if (user.name.empty()) user.name = Environment("USER");
  if (user.home.empty()) user.home = Environment("HOME");
  return user;
}

}  // namespace quorvane::platform
