#pragma once
// Initialisation files arrive in several encodings: UTF-16 (little or big
// endian) with a byte-order mark, UTF-8 with or without one, and 8-bit
// files in the Western code page. All of them are turned into UTF-8 here
// so the reader works on one form only.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/base/Result.h"

namespace quorvane::platform {

// Larger files are refused rather than read, so a stray huge file cannot
// stall a lookup that happens on every screen.
inline constexpr std::size_t kMaxIniFileBytes = 4 * 1024 * 1024;

// Decodes the raw bytes of a file. Never fails: invalid UTF-16 becomes
// U+FFFD, and bytes that are not valid UTF-8 are read as Windows-1252.
std::string DecodeIniBytes(std::string_view bytes);

// Reads a regular file of at most maxBytes and decodes it.
Result<std::string> ReadIniFileText(const std::string& path, std::size_t maxBytes = kMaxIniFileBytes);

}  // namespace quorvane::platform
