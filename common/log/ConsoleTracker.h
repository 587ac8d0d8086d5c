#pragma once
// Log lines to the debugger output (platform/debug).

#include "common/log/Tracker.h"

namespace TESKTV::LOG {

class ConsoleTracker : public Tracker {
 public:
  int Prepare() override { return 1; }
  int Write(std::string_view line) override;
};

}  // namespace TESKTV::LOG
