#pragma once
// Texts that the suite keeps in fixed buffers of UTF-16 units (language
// texts, log messages) are cut by units, never inside a surrogate pair.

#include <cstddef>
#include <string>

#include "platform/base/Utf16.h"

namespace quorvane {

inline std::string CutToUtf16Units(std::string text, std::size_t maxUnits) {
  if (platform::Utf16Length(text) <= maxUnits) return text;
  std::u16string units = platform::ToUtf16(text);
  units.resize(maxUnits);
  if (!units.empty() && units.back() >= 0xD800 && units.back() <= 0xDBFF) units.pop_back();
  return platform::ToUtf8(units);
}

}  // namespace quorvane
