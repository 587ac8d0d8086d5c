#pragma once
// Starting other programs: the scheduler (started and left running, as the
// shell's "open" does) and the desktop database tools (run to the end).

#include <optional>
#include <string>
#include <vector>

#include "platform/base/Result.h"

namespace quorvane::iepg {

// Starts the program at `path` in a session of its own, with standard
// input from /dev/null, and does not wait for it.
class ProgramLauncher {
 public:
  virtual ~ProgramLauncher() = default;
  virtual platform::Status Start(const std::string& path) = 0;
};

class SpawnLauncher final : public ProgramLauncher {
 public:
  platform::Status Start(const std::string& path) override;
};

// Runs argv[0], looked up on PATH, and waits for it; what it prints on
// stdout is dropped, its stderr is ours. Its exit status, or nothing when
// no such program is installed.
platform::Result<std::optional<int>> RunInstalledTool(const std::vector<std::string>& argv);

}  // namespace quorvane::iepg
