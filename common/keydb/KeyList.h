#pragma once
// Learned IR keys. A key file holds one record per key position, in the
// fixed order of the positions below; the 512-byte code is the capture
// device's own and is never looked into.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvane::keydb {

inline constexpr std::size_t kKeyCodeBytes = 512;
using KeyCode = std::array<std::uint8_t, kKeyCodeBytes>;

// Key positions: the index of a record in a key file.
inline constexpr int kKeyDigit0 = 0;  // digits 0..9 are positions 0..9
inline constexpr int kKeyOk = 10;
inline constexpr int kKeyPower = 11;
inline constexpr int kKeyHundred = 12;  // +100
inline constexpr int kKeyDot = 13;
inline constexpr int kKeyPositionCount = 14;

// `id` of a record that only holds a position open.
inline constexpr std::int32_t kFillerKeyId = 99;

// One learned key.
struct CKeyList {
  static constexpr std::uint16_t kSchema = 1;
  static constexpr const char* kClassName = "CKeyList";

  std::int32_t id = 0;
  KeyCode code{};

  static CKeyList Filler() { return CKeyList{kFillerKeyId, KeyCode{}}; }
  bool operator==(const CKeyList&) const = default;
};

// An ordered key set; the list index is the key position.
class CRemoteKeyList {
 public:
  // Carried by the class for completeness; key files never contain it.
  static constexpr std::uint16_t kSchema = 2;

  std::size_t size() const { return keys_.size(); }
  bool empty() const { return keys_.empty(); }
  const CKeyList& operator[](std::size_t index) const { return keys_[index]; }
  CKeyList& operator[](std::size_t index) { return keys_[index]; }
  auto begin() const { return keys_.begin(); }
  auto end() const { return keys_.end(); }

  void Append(CKeyList key) { keys_.push_back(key); }
  void Clear() { keys_.clear(); }
  const std::vector<CKeyList>& keys() const { return keys_; }

  bool operator==(const CRemoteKeyList&) const = default;

 private:
  std::vector<CKeyList> keys_;
};

}  // namespace quorvane::keydb
