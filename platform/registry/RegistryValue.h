#pragma once
// One registry value: its type tag and its data. Text is UTF-8 and comes
// back byte for byte as it was written.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/registry/Hive.h"

namespace quorvane::platform {

struct RegistryValue {
  ValueType type = ValueType::String;
  std::string text;                 // ValueType::String
  std::uint32_t dword = 0;          // ValueType::Dword
  std::vector<std::uint8_t> bytes;  // ValueType::Binary

  static RegistryValue String(std::string value) {
    RegistryValue v;
    v.type = ValueType::String;
    v.text = std::move(value);
    return v;
  }
  static RegistryValue Dword(std::uint32_t value) {
    RegistryValue v;
    v.type = ValueType::Dword;
    v.dword = value;
    return v;
  }
  static RegistryValue Binary(std::vector<std::uint8_t> value) {
    RegistryValue v;
    v.type = ValueType::Binary;
    v.bytes = std::move(value);
    return v;
  }

  bool operator==(const RegistryValue& other) const {
    if (type != other.type) return false;
    switch (type) {
      case ValueType::String:
        return text == other.text;
      case ValueType::Dword:
        return dword == other.dword;
      case ValueType::Binary:
        return bytes == other.bytes;
    }
    return false;
  }
};

struct NamedValue {
  std::string name;  // "" is the unnamed (default) value
  RegistryValue value;
};

// "REG_SZ", "REG_DWORD", "REG_BINARY".
inline const char* ValueTypeName(ValueType type) {
  switch (type) {
    case ValueType::String:
      return "REG_SZ";
    case ValueType::Dword:
      return "REG_DWORD";
    case ValueType::Binary:
      return "REG_BINARY";
  }
  return "REG_NONE";
}

}  // namespace quorvane::platform
