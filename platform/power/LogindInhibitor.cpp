#include "platform/power/LogindInhibitor.h"

#include <unistd.h>

#include <utility>

namespace quorvane::platform {

LogindInhibitor::LogindInhibitor(int fd, std::string what, std::string mode)
    : fd_(fd), what_(std::move(what)), mode_(std::move(mode)) {}

LogindInhibitor::LogindInhibitor(LogindInhibitor&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), what_(std::move(other.what_)), mode_(std::move(other.mode_)) {}

LogindInhibitor& LogindInhibitor::operator=(LogindInhibitor&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::exchange(other.fd_, -1);
    what_ = std::move(other.what_);
    mode_ = std::move(other.mode_);
  }
  return *this;
}

void LogindInhibitor::Release() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
}

}  // namespace quorvane::platform
