#pragma once
// Where the installation put the suite's shared files (language files,
// skin, catalogue): <prefix>/share/quorvane. It stands in for the fixed
// installation folder that registry defaults name when a value is empty.

#include <string>

namespace quorvane::platform {

std::string InstalledDataFolder();

}  // namespace quorvane::platform
