#pragma once
// Small file-writing helpers for the database files: an owned descriptor,
// a write that reports every short write, and replacing a file through a
// side file so that a failed save never leaves it half-written.

#include <string>
#include <string_view>
#include <utility>

#include "platform/base/Result.h"

namespace quorvane::keydb {

class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  explicit operator bool() const { return fd_ >= 0; }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void Reset();

 private:
  int fd_;
};

// Writes all bytes, flushes them to the disk and closes the descriptor.
platform::Status WriteAllAndClose(UniqueFd& fd, std::string_view bytes, const std::string& path);

// Writes the bytes to a side file next to `path` and renames it over
// `path`; on failure `path` keeps its old content.
platform::Status ReplaceFile(const std::string& path, std::string_view bytes);

}  // namespace quorvane::keydb
