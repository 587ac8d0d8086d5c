#include "platform/registry/KeyPath.h"

#include <string>

#include "platform/base/Utf16.h"

namespace quorvane::platform {

std::vector<std::string_view> SplitKeyPath(std::string_view path) {
  std::vector<std::string_view> names;
  while (!path.empty()) {
    const std::size_t separator = path.find('\\');
    const std::string_view name = path.substr(0, separator);
    if (!name.empty()) names.push_back(name);
    if (separator == std::string_view::npos) break;
    path.remove_prefix(separator + 1);
  }
  return names;
}

Status ValidateKeyName(std::string_view name) {
  if (name.empty()) return MakeError("empty key name");
  if (name.find('\\') != std::string_view::npos) return MakeError("key name contains '\\'");
  if (name.find('\0') != std::string_view::npos) return MakeError("key name contains a NUL character");
  if (Utf16Length(name) > kMaxKeyNameUnits) {
    return MakeError("key name longer than " + std::to_string(kMaxKeyNameUnits) + " characters");
  }
  return Status::Ok();
}

Status ValidateValueName(std::string_view name) {
  if (name.find('\0') != std::string_view::npos) return MakeError("value name contains a NUL character");
  if (Utf16Length(name) > kMaxValueNameUnits) {
    return MakeError("value name longer than " + std::to_string(kMaxValueNameUnits) + " characters");
  }
  return Status::Ok();
}

}  // namespace quorvane::platform
