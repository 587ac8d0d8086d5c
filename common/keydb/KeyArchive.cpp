#include "common/keydb/KeyArchive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <utility>

namespace quorvane::keydb {

KeyArchive::KeyArchive(bool storing, std::string bytes, int fd)
    : storing_(storing), buffer_(std::move(bytes)), fd_(fd) {}

KeyArchive KeyArchive::ForStoring() { return KeyArchive(true, {}, -1); }

KeyArchive KeyArchive::ForLoading(std::string bytes) { return KeyArchive(false, std::move(bytes), -1); }

platform::Result<KeyArchive> KeyArchive::OpenForLoading(const std::string& path) {
  // O_NONBLOCK keeps a pipe without writer from blocking the open; such a
  // file is refused below anyway.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return platform::MakeError("cannot open " + path + ": " + std::strerror(errno));
  KeyArchive archive(false, {}, fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return platform::MakeError(path + " is not a regular file");
  return archive;
}

KeyArchive::~KeyArchive() {
  if (fd_ >= 0) ::close(fd_);
}

KeyArchive::KeyArchive(KeyArchive&& other) noexcept
    : storing_(other.storing_),
      buffer_(std::move(other.buffer_)),
      pos_(std::exchange(other.pos_, 0)),
      fd_(std::exchange(other.fd_, -1)),
      failure_(std::move(other.failure_)) {}

KeyArchive& KeyArchive::operator=(KeyArchive&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    storing_ = other.storing_;
    buffer_ = std::move(other.buffer_);
    pos_ = std::exchange(other.pos_, 0);
    fd_ = std::exchange(other.fd_, -1);
    failure_ = std::move(other.failure_);
  }
  return *this;
}

void KeyArchive::Write(const void* data, std::size_t size) {
  if (!storing_ || size == 0) return;
  buffer_.append(static_cast<const char*>(data), size);
}

void KeyArchive::WriteU16(std::uint16_t value) {
  const unsigned char bytes[2] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8)};
  Write(bytes, sizeof bytes);
}

void KeyArchive::WriteI32(std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  unsigned char bytes[4];
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
  Write(bytes, sizeof bytes);
}

void KeyArchive::WriteI64(std::int64_t value) {
  const auto bits = static_cast<std::uint64_t>(value);
  unsigned char bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
  Write(bytes, sizeof bytes);
}

// Replaces the consumed buffer with the next block of the file; false at
// the end of the data or on a read error.
bool KeyArchive::Refill() {
  buffer_.clear();
  pos_ = 0;
  if (fd_ < 0) return false;
  buffer_.resize(kFileBufferBytes);
  for (;;) {
    const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      failure_ = std::string("cannot read the key file: ") + std::strerror(errno);
      buffer_.clear();
      return false;
    }
    buffer_.resize(static_cast<std::size_t>(n));
    return n > 0;
  }
}

bool KeyArchive::Read(void* data, std::size_t size) {
  if (storing_) {
    failure_ = "the archive is storing";
    return false;
  }
  if (!failure_.empty()) return false;
  auto* out = static_cast<char*>(data);
  std::size_t done = 0;
  while (done < size) {
    if (pos_ == buffer_.size() && !Refill()) {
      if (failure_.empty()) failure_ = "the data ends early";
      return false;
    }
    const std::size_t take = std::min(size - done, buffer_.size() - pos_);
    std::memcpy(out + done, buffer_.data() + pos_, take);
    pos_ += take;
    done += take;
  }
  return true;
}

bool KeyArchive::ReadU16(std::uint16_t& value) {
  unsigned char bytes[2];
  if (!Read(bytes, sizeof bytes)) return false;
  value = static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
  return true;
}

bool KeyArchive::ReadI32(std::int32_t& value) {
  unsigned char bytes[4];
  if (!Read(bytes, sizeof bytes)) return false;
  std::uint32_t bits = 0;
  for (int i = 3; i >= 0; --i) bits = (bits << 8) | bytes[i];
  value = static_cast<std::int32_t>(bits);
  return true;
}

bool KeyArchive::ReadI64(std::int64_t& value) {
  unsigned char bytes[8];
  if (!Read(bytes, sizeof bytes)) return false;
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | bytes[i];
  value = static_cast<std::int64_t>(bits);
  return true;
}

}  // namespace quorvane::keydb
