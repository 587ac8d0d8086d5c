#pragma once
// The base of the service's worker threads: start and stop, a stop request
// that every wait of the thread honours, and the timed wait that follows
// the wall clock. Every wait is on the Clock, so a simulated clock drives
// the thread in tests.
//
// A derived class must stop the thread in its own destructor: the base
// destructor runs after the derived part, which Run still uses, is gone.

#include <chrono>

#include "platform/clock/Clock.h"
#include "platform/clock/ClockEvent.h"
#include "platform/clock/ClockThread.h"

namespace TESKTV::THREAD {

class TeskThread {
 public:
  // With `is64BitSystem` every timed wait starts with a pause of one
  // second, as on a system that runs the service through a 32-bit
  // compatibility layer.
  explicit TeskThread(quorvane::platform::Clock& clock, bool is64BitSystem = false);
  virtual ~TeskThread();
  TeskThread(const TeskThread&) = delete;
  TeskThread& operator=(const TeskThread&) = delete;

  // False without doing anything while the thread runs; otherwise starts it
  // and returns whether it was created.
  bool Start();
  // Asks the thread to stop and waits until it has ended; true also when no
  // thread runs.
  bool Stop();
  bool IsRunning() const;
  bool Is64BitSystem() const { return is64BitSystem_; }

  quorvane::platform::Clock& clock() const { return clock_; }

 protected:
  // The thread body; returns when StopRequested().
  virtual void Run() = 0;

  bool StopRequested() const;
  // Waits for `duration`, ending early at a stop request, when the wall
  // clock reaches the due time (it may jump forward, as after a resume) or
  // when the wall clock is set back before the wait began. A wait longer
  // than 500 ms looks at the wall clock every 500 ms.
  void WaitTimed(std::chrono::milliseconds duration);
  // Waits for `duration`; false when a stop request ended it early.
  bool Pause(std::chrono::milliseconds duration);

 private:
  void Body();

  quorvane::platform::Clock& clock_;
  const bool is64BitSystem_;
  // Ends the waits of the thread.
  quorvane::platform::ClockEvent waitStop_;
  // Tested by Run between its waits.
  quorvane::platform::ClockEvent runStop_;
  quorvane::platform::ClockEvent exited_;
  quorvane::platform::ClockThread thread_;
};

}  // namespace TESKTV::THREAD
