#pragma once
// Where the monitor and the timers post their messages: the service's
// control window implements it. A message that names a schedule carries
// the record itself, shared, so it stays valid until the window has
// handled it, whatever happened to the monitor that posted it.

#include <cstdint>
#include <memory>

namespace TESKTV::SCHEDULE {
class ScheduleProgram;
}

namespace TESKTV::SERVICE {

struct PostedMessage {
  std::uint32_t message = 0;
  std::uint64_t wParam = 0;
  std::int64_t lParam = 0;
  // The record of TESK_ACTIVE_SCHEDULE and TESK_ACTIVE_AP; empty otherwise.
  std::shared_ptr<const SCHEDULE::ScheduleProgram> record;
};

class WindowPoster {
 public:
  virtual ~WindowPoster() = default;
  // Any thread; queues the message and returns at once. False when the
  // window is gone.
  virtual bool Post(PostedMessage message) = 0;
};

}  // namespace TESKTV::SERVICE
