#pragma once
// Writes a whole initialisation file in UTF-8. The file is replaced in one
// step (a temporary file renamed over it), so a reader sees the old or the
// new content, never a half-written file.

#include <string>
#include <utility>
#include <vector>

#include "platform/base/Result.h"

namespace quorvane::platform {

struct IniSection {
  std::string name;
  std::vector<std::pair<std::string, std::string>> entries;  // key, text
};

// Refuses names and texts that the reader could not give back unchanged
// (line breaks, '=' or ']' in names, blanks at the ends).
Status WriteIniFile(const std::string& path, const std::vector<IniSection>& sections);

}  // namespace quorvane::platform
