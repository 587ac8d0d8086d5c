#pragma once
// A one-shot timer on a thread of its own: at start time + seconds it
// posts its kind's message to the service window (wParam 0, lParam 0),
// and the system is woken from suspend for it. When the system cannot be
// woken the timer ends at once without posting. Destroying it before then
// cancels it.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/clock/Clock.h"
#include "platform/clock/ClockThread.h"
#include "platform/power/WakeTimer.h"
#include "service/log/ServiceLog.h"
#include "service/messages/ServiceMessages.h"
#include "service/messages/WindowPoster.h"

namespace TESKTV::SERVICE {

class CTeskTimer {
 public:
  // `window` and `wakeTimers` must outlive the timer; the clock and the
  // log are the real ones unless given.
  CTeskTimer(TimerKind kind, std::int64_t seconds, WindowPoster& window, quorvane::platform::WakeTimerFactory& wakeTimers,
             quorvane::platform::Clock& clock = quorvane::platform::RealClock(),
             ServiceLog& log = ServiceLog::Process());
  virtual ~CTeskTimer();
  CTeskTimer(const CTeskTimer&) = delete;
  CTeskTimer& operator=(const CTeskTimer&) = delete;

  TimerKind Kind() const { return kind_; }
  std::uint32_t Message() const { return message_; }
  std::int64_t Seconds() const { return seconds_; }
  std::int64_t StartTime() const { return start_; }
  std::int64_t DueTime() const { return due_; }
  // Seconds until the due time: length + start time - now.
  std::int64_t RemainingSeconds() const;
  // Whether the thread has ended (fired, cancelled, or not able to wake).
  bool HasEnded() const;

 private:
  // Shared with the wake timer's callback, which may outlive this object.
  struct Signal {
    explicit Signal(quorvane::platform::Clock& c) : clock(c) {}
    quorvane::platform::Clock& clock;
    std::mutex mutex;
    std::condition_variable_any cv;
    bool expired = false;
    bool terminate = false;
    bool ended = false;
  };

  void Body();
  std::int64_t Now() const;

  const TimerKind kind_;
  const std::uint32_t message_;
  const std::int64_t seconds_;
  WindowPoster& window_;
  quorvane::platform::Clock& clock_;
  const quorvane::platform::WallTime startWall_;
  const std::int64_t start_;
  const std::int64_t due_;
  std::unique_ptr<quorvane::platform::WakeTimer> wakeTimer_;
  std::shared_ptr<Signal> signal_;
  quorvane::platform::ClockThread thread_;
};

}  // namespace TESKTV::SERVICE
