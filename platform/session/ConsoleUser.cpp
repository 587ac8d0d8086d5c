#include "platform/session/ConsoleUser.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/registry/HiveNames.h"
#include "platform/session/LoginSeatProvider.h"
#include "platform/session/ProcessUserProvider.h"

namespace quorvane::platform {

ConsoleUser LookUpConsoleUser(uid_t uid) {
  ConsoleUser user;
  user.uid = uid;
  user.sid = UserSid(uid);
  const long hint = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  // ERANGE: the entry does not fit; grow the buffer and ask again.
  int rc = 0;
  while ((rc = getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found)) == ERANGE &&
         buffer.size() < (std::size_t{1} << 20)) {
    buffer.resize(buffer.size() * 2);
  }
  if (rc == 0 && found) {
    if (found->pw_name) user.name = found->pw_name;
    if (found->pw_dir) user.home = found->pw_dir;
  }
  return user;
}

std::unique_ptr<ConsoleUserProvider> MakeConsoleUserProvider(ProcessRole role) {
  if (role == ProcessRole::kSystemService) return std::make_unique<LoginSeatProvider>();
  return std::make_unique<ProcessUserProvider>();
}

}  // namespace quorvane::platform
