#pragma once
// Key paths are names joined by '\'. Names compare ignoring case but keep
// the case they were created with.

#include <cstddef>
#include <string_view>
#include <vector>

#include "platform/base/Result.h"

namespace quorvane::platform {

// Longest key name and value name, in UTF-16 units.
inline constexpr std::size_t kMaxKeyNameUnits = 255;
inline constexpr std::size_t kMaxValueNameUnits = 16383;

// The names of a path; empty elements (leading, trailing or doubled '\')
// are dropped.
std::vector<std::string_view> SplitKeyPath(std::string_view path);

Status ValidateKeyName(std::string_view name);
Status ValidateValueName(std::string_view name);

}  // namespace quorvane::platform
