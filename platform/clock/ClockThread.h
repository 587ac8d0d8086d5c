#pragma once
// A thread whose work a simulated clock waits for: it counts as busy from
// its start until it first waits on the clock, so a test that starts it
// and then advances the clock sees it reach its wait before time moves.
// Joins on destruction.

#include <functional>
#include <thread>

#include "platform/clock/Clock.h"

namespace quorvane::platform {

class ClockThread {
 public:
  ClockThread() = default;
  ClockThread(Clock& clock, std::function<void()> body);
  ~ClockThread() { Join(); }
  ClockThread(ClockThread&&) noexcept = default;
  ClockThread& operator=(ClockThread&& other) noexcept;

  bool Joinable() const { return thread_.joinable(); }
  void Join();

 private:
  std::thread thread_;
};

}  // namespace quorvane::platform
