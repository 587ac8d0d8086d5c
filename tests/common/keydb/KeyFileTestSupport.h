#pragma once
// Key file bytes for tests, put together from the field offsets of the
// format rather than by the writer under test.

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/keydb/KeyList.h"

namespace quorvane::keydb::testing {

// A recognisable code for each key position.
inline KeyCode CodeFor(int position) {
  KeyCode code{};
  for (std::size_t i = 0; i < code.size(); ++i) code[i] = static_cast<std::uint8_t>(position * 37 + i * 3 + 1);
  return code;
}

inline void PutLittleEndian(std::string& bytes, std::size_t offset, std::uint64_t value, int width) {
  for (int i = 0; i < width; ++i) bytes[offset + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
}

inline void PutCode(std::string& bytes, std::size_t offset, const KeyCode& code) {
  std::memcpy(bytes.data() + offset, code.data(), code.size());
}

// The file of the given (id, code) records: count at 0; class description
// at 8..21; record 0 at 22 (id) and 26 (code); record k >= 1 at
// 538 + 518 (k - 1) (tag 0x8001), +2 (id), +6 (code).
inline std::string ExpectedKeyFile(const std::vector<std::pair<std::int32_t, KeyCode>>& records) {
  const std::size_t n = records.size();
  std::string bytes(n == 0 ? 8 : 538 + 518 * (n - 1), '\0');
  PutLittleEndian(bytes, 0, n, 8);
  if (n == 0) return bytes;
  PutLittleEndian(bytes, 8, 0xFFFF, 2);
  PutLittleEndian(bytes, 10, 1, 2);
  PutLittleEndian(bytes, 12, 8, 2);
  std::memcpy(bytes.data() + 14, "CKeyList", 8);
  PutLittleEndian(bytes, 22, static_cast<std::uint32_t>(records[0].first), 4);
  PutCode(bytes, 26, records[0].second);
  for (std::size_t k = 1; k < n; ++k) {
    const std::size_t base = 538 + 518 * (k - 1);
    PutLittleEndian(bytes, base, 0x8001, 2);
    PutLittleEndian(bytes, base + 2, static_cast<std::uint32_t>(records[k].first), 4);
    PutCode(bytes, base + 6, records[k].second);
  }
  return bytes;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace quorvane::keydb::testing
