#pragma once
// A program's message loop: a thread-safe queue of posted work (woken
// through an eventfd), window-style timers with ids and fd watches, all on
// one thread and on a Clock (real or simulated).
//
// It runs by itself (Run until Quit) or inside another event loop: the
// host polls Fd() for reading with at most NextTimeout(), and calls
// Dispatch() when Fd() is readable or the timeout has passed.
//
// On a SimulatedClock the loop is a due source of the clock: advancing the
// clock runs its due timers and queued work at the right instants, inline
// when no thread is running the loop, otherwise by waking that thread and
// waiting until it has caught up. Tests without a clock step call
// RunUntilIdle().

#include <poll.h>

#include <chrono>
#include <compare>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/base/Result.h"
#include "platform/clock/Clock.h"

namespace quorvane::platform {

class EventLoop final : private DueSource {
 public:
  // Timers are named by an owner (a window; 0 for the loop's own users)
  // and an id, as window timers are.
  struct TimerKey {
    std::uintptr_t owner = 0;
    std::uint64_t id = 0;
    auto operator<=>(const TimerKey&) const = default;
  };
  using WatchId = std::uint64_t;

  static Result<std::unique_ptr<EventLoop>> Create(Clock& clock = RealClock());
  ~EventLoop() override;
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  Clock& clock() const { return clock_; }

  // Any thread. Work runs on the loop's thread in the order posted.
  void Post(std::function<void()> task);

  // Any thread; callbacks run on the loop's thread. Setting a timer that
  // exists replaces it and starts its interval anew. Periodic timers fire
  // every interval (at least 1 ms) after they were set; a loop that falls
  // behind fires once and skips the periods it missed.
  void SetTimer(TimerKey key, std::chrono::milliseconds interval, std::function<void()> onTimer);
  void SetTimer(std::uint64_t id, std::chrono::milliseconds interval, std::function<void()> onTimer) {
    SetTimer(TimerKey{0, id}, interval, std::move(onTimer));
  }
  // Runs `task` once after `delay`.
  void PostAfter(std::chrono::milliseconds delay, std::function<void()> task);
  bool KillTimer(TimerKey key);
  bool KillTimer(std::uint64_t id) { return KillTimer(TimerKey{0, id}); }
  // Kills every timer of `owner`.
  void KillTimers(std::uintptr_t owner);

  // Watches `fd` for poll events (POLLIN, POLLOUT, POLLPRI); the callback
  // gets the events that occurred (POLLERR and POLLHUP included). Remove
  // the watch before closing the fd.
  Result<WatchId> WatchFd(int fd, short events, std::function<void(short revents)> onReady);
  Status ChangeWatch(WatchId watch, short events);
  void RemoveWatch(WatchId watch);

  // Runs until Quit; returns Quit's code. The calling thread is the
  // loop's thread while it runs.
  Result<int> Run();
  // Any thread. Makes Run return after the work in hand.
  void Quit(int exitCode = 0);

  // Nesting inside another loop.
  int Fd() const { return epollFd_; }
  // Nothing: no time limit. Zero: Dispatch has work now.
  std::optional<std::chrono::milliseconds> NextTimeout() const;
  // Does what is ready now (ready fds, posted work, due timers) without
  // blocking.
  void Dispatch();
  // Makes the calling thread the loop's thread while a host loop runs it.
  void BindToCurrentThread();
  void Unbind();

  // Dispatches until nothing is ready now; returns the number of passes
  // that did something.
  int RunUntilIdle();

  // Whether the caller is on the loop's thread: the thread running or
  // bound to it, or when none is, the thread that created it.
  bool IsLoopThread() const;

 private:
  struct Timer {
    MonoTime due;
    std::chrono::milliseconds interval;
    bool periodic;
    std::uint64_t sequence;
    std::shared_ptr<std::function<void()>> callback;
  };
  struct Watch {
    int fd;
    short events;
    std::shared_ptr<std::function<void(short)>> callback;
  };

  EventLoop(Clock& clock, int epollFd, int wakeFd);

  std::optional<MonoTime> NextDue() override;
  void RunDue() override;

  void Wake();  // under mutex_
  void DrainWake();
  bool DispatchOnce();  // true when it ran something
  bool RunReadyFds();
  bool RunPosted();
  bool RunDueTimers();
  void SetTimerEntry(TimerKey key, std::chrono::milliseconds interval, bool periodic, std::function<void()> fn);

  Clock& clock_;
  const int epollFd_;
  const int wakeFd_;
  const ThreadToken creator_;

  mutable std::mutex mutex_;
  std::deque<std::function<void()>> posted_;
  std::map<TimerKey, Timer> timers_;
  std::map<WatchId, Watch> watches_;
  WatchId nextWatch_ = 1;
  std::uint64_t nextSequence_ = 1;
  std::uint64_t nextOneShot_ = 1;
  ThreadToken dispatcher_ = 0;  // thread running or bound; 0 when none
  ThreadToken inDispatch_ = 0;  // thread inside a dispatch pass; 0 when none
  std::uint64_t wakeRequests_ = 0;
  bool wakePending_ = false;
  bool quit_ = false;
  int exitCode_ = 0;
};

// Poll-style event bits to and from epoll's.
std::uint32_t PollToEpollEvents(short events);
short EpollToPollEvents(std::uint32_t events);

}  // namespace quorvane::platform
