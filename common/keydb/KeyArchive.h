#pragma once
// A byte archive in the manner of an application framework's object
// archive: one object either stores into it or loads from it, and the
// serialising code asks which. Integers are little-endian. Stored bytes
// collect in memory; loading reads from memory or from a file through a
// 4096-byte buffer, so a file of any size is never read whole.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/base/Result.h"

namespace quorvane::keydb {

class KeyArchive {
 public:
  static constexpr std::size_t kFileBufferBytes = 4096;

  static KeyArchive ForStoring();
  static KeyArchive ForLoading(std::string bytes);
  // Fails when the file cannot be opened for reading.
  static platform::Result<KeyArchive> OpenForLoading(const std::string& path);

  ~KeyArchive();
  KeyArchive(KeyArchive&& other) noexcept;
  KeyArchive& operator=(KeyArchive&& other) noexcept;
  KeyArchive(const KeyArchive&) = delete;
  KeyArchive& operator=(const KeyArchive&) = delete;

  bool IsStoring() const { return storing_; }

  // Storing. Writes to a loading archive are ignored.
  void Write(const void* data, std::size_t size);
  void WriteU16(std::uint16_t value);
  void WriteI32(std::int32_t value);
  void WriteI64(std::int64_t value);
  const std::string& stored() const { return buffer_; }

  // Loading. A read is all or nothing: it fails when the data ends before
  // `size` bytes or the file cannot be read, and every later read fails too.
  bool Read(void* data, std::size_t size);
  bool ReadU16(std::uint16_t& value);
  bool ReadI32(std::int32_t& value);
  bool ReadI64(std::int64_t& value);
  // Why reading stopped; empty while nothing failed.
  const std::string& failure() const { return failure_; }

 private:
  KeyArchive(bool storing, std::string bytes, int fd);
  bool Refill();

  bool storing_;
  std::string buffer_;  // stored bytes, or loaded bytes not yet consumed from pos_
  std::size_t pos_ = 0;
  int fd_ = -1;
  std::string failure_;
};

}  // namespace quorvane::keydb
