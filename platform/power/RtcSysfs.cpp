#include "platform/power/RtcSysfs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorvane::platform::rtc {

namespace {

std::string Problem(const std::string& what, const std::string& path, int error) {
  std::string text = what + " " + path + ": " + std::strerror(error);
  if (error == EACCES || error == EPERM) text += " (needs root)";
  return text;
}

}  // namespace

std::string DevicePath(const std::string& sysfsRoot, const std::string& device) {
  std::string root = sysfsRoot;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root + "/class/rtc/" + device;
}

Result<std::string> ReadAttribute(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return MakeError(Problem("cannot read", path, errno));
  std::string text;
  char buffer[256];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      return MakeError(Problem("cannot read", path, error));
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > 4096) break;  // attributes are one short line
  }
  ::close(fd);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\r')) text.pop_back();
  return text;
}

Status WriteAttribute(const std::string& path, const std::string& text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return MakeError(Problem("cannot write \"" + text + "\" to", path, errno));
  const std::string line = text + "\n";
  ssize_t n;
  do {
    n = ::write(fd, line.data(), line.size());
  } while (n < 0 && errno == EINTR);
  const int writeError = errno;
  // sysfs reports a refused value on write; a file system may only on close.
  const int closed = ::close(fd);
  const int closeError = errno;
  if (n < 0) return MakeError(Problem("cannot write \"" + text + "\" to", path, writeError));
  if (static_cast<std::size_t>(n) != line.size()) return MakeError("short write to " + path);
  if (closed != 0 && closeError != EINTR) {
    return MakeError(Problem("cannot write \"" + text + "\" to", path, closeError));
  }
  return Status::Ok();
}

}  // namespace quorvane::platform::rtc
