#pragma once
// The output sink of the diagnostic log. The registry of loggers hands each
// finished line (without its line end) to the current sink under the
// process-wide log lock.

#include <string_view>

namespace TESKTV::LOG {

class Tracker {
 public:
  virtual ~Tracker() = default;
  // Called before each line; a file sink may move to another file here.
  // Returns 1.
  virtual int Prepare() = 0;
  // Returns 1 when the line was written, 0 when the sink is closed.
  virtual int Write(std::string_view line) = 0;
};

}  // namespace TESKTV::LOG
