#pragma once
// Where the running program lives (the module path of the Windows world).

#include <string>

#include "platform/base/Result.h"

namespace quorvane::platform {

// The absolute path of the running executable, from /proc/self/exe.
Result<std::string> ExecutablePath();

// Its folder, without a trailing separator.
Result<std::string> ExecutableFolder();

}  // namespace quorvane::platform
