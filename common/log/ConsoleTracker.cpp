#include "common/log/ConsoleTracker.h"

#include "platform/debug/DebugOutput.h"

namespace TESKTV::LOG {

int ConsoleTracker::Write(std::string_view line) {
  quorvane::platform::DebugOutput(line);
  return 1;
}

}  // namespace TESKTV::LOG
