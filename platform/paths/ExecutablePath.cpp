#include "platform/paths/ExecutablePath.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/paths/PathJoin.h"

namespace quorvane::platform {

Result<std::string> ExecutablePath() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return MakeError(std::string("cannot read /proc/self/exe: ") + std::strerror(errno));
    if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<std::size_t>(n));
    if (buffer.size() >= 1024 * 1024) return MakeError("executable path too long");
    buffer.resize(buffer.size() * 2);
  }
}

Result<std::string> ExecutableFolder() {
  auto path = ExecutablePath();
  if (!path) return path.error();
  return ParentFolder(*path);
}

}  // namespace quorvane::platform
