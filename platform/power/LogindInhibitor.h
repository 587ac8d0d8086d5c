#pragma once
// An inhibitor lock taken from logind: while its fd is open, logind blocks
// (or, for "delay", holds back) what it names. Closing the fd releases it.

#include <string>

namespace quorvane::platform {

class LogindInhibitor {
 public:
  LogindInhibitor() = default;
  // Takes ownership of `fd`.
  LogindInhibitor(int fd, std::string what, std::string mode);
  LogindInhibitor(LogindInhibitor&& other) noexcept;
  LogindInhibitor& operator=(LogindInhibitor&& other) noexcept;
  LogindInhibitor(const LogindInhibitor&) = delete;
  LogindInhibitor& operator=(const LogindInhibitor&) = delete;
  ~LogindInhibitor() { Release(); }

  bool held() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const std::string& what() const { return what_; }
  const std::string& mode() const { return mode_; }

  void Release();

 private:
  int fd_ = -1;
  std::string what_;
  std::string mode_;
};

}  // namespace quorvane::platform
