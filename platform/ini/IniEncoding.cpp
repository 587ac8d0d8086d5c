#include "platform/ini/IniEncoding.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/base/Utf16.h"

namespace quorvane::platform {
namespace {

// Windows-1252 code points of the bytes 0x80..0x9F. The five bytes the code
// page leaves undefined keep their Latin-1 (C1 control) meaning.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::string DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto b0 = static_cast<std::uint8_t>(bytes[i]);
    const auto b1 = static_cast<std::uint8_t>(bytes[i + 1]);
    units += static_cast<char16_t>(bigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0);
  }
  return ToUtf8(units);
}

std::string DecodeCp1252(std::string_view bytes) {
  std::u16string units;
  units.reserve(bytes.size());
  for (const char c : bytes) {
    const auto b = static_cast<std::uint8_t>(c);
    units += (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
  }
  return ToUtf8(units);
}

bool StartsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::string DecodeIniBytes(std::string_view bytes) {
  if (StartsWith(bytes, "\xFF\xFE")) return DecodeUtf16(bytes.substr(2), false);
  if (StartsWith(bytes, "\xFE\xFF")) return DecodeUtf16(bytes.substr(2), true);
  if (StartsWith(bytes, "\xEF\xBB\xBF")) {
    // A file that declares UTF-8 is repaired, not reinterpreted.
    return ToUtf8(ToUtf16(bytes.substr(3)));
  }
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return DecodeCp1252(bytes);
}

Result<std::string> ReadIniFileText(const std::string& path, std::size_t maxBytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return MakeError("cannot open " + path + ": " + std::strerror(errno));
  struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
  } closer{fd};

  struct stat info {};
  if (::fstat(fd, &info) != 0) return MakeError("cannot inspect " + path + ": " + std::strerror(errno));
  if (!S_ISREG(info.st_mode)) return MakeError(path + " is not a regular file");
  if (static_cast<std::uint64_t>(info.st_size) > maxBytes) {
    return MakeError(path + " is larger than " + std::to_string(maxBytes) + " bytes");
  }

  // The size may change while reading; the limit holds for what is read.
  std::string bytes;
  char chunk[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      return MakeError("cannot read " + path + ": " + std::strerror(errno));
    }
    if (n == 0) break;
    if (bytes.size() + static_cast<std::size_t>(n) > maxBytes) {
      return MakeError(path + " is larger than " + std::to_string(maxBytes) + " bytes");
    }
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
  return DecodeIniBytes(bytes);
}

}  // namespace quorvane::platform
