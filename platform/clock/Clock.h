#pragma once
// "Now" for all time logic. Wall-clock time (schedules, log stamps) and
// monotonic time (timeouts, intervals) are kept apart: the wall clock can
// jump (settings, resume from sleep), the monotonic one never does.

#include <chrono>

namespace quorvane::platform {

using WallTime = std::chrono::system_clock::time_point;
using MonoTime = std::chrono::steady_clock::time_point;

class Clock {
 public:
  virtual ~Clock() = default;
  virtual WallTime Wall() const = 0;
  virtual MonoTime Mono() const = 0;
};

// The process-wide real clock.
Clock& RealClock();

}  // namespace quorvane::platform
