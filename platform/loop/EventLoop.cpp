#include "platform/loop/EventLoop.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/clock/ThreadToken.h"
#include "platform/debug/DebugOutput.h"

namespace quorvane::platform {

namespace {

// epoll data of the wake-up eventfd; watches count from 1.
constexpr std::uint64_t kWakeData = 0;
// Owner of the one-shot timers of PostAfter.
constexpr std::uintptr_t kOneShotOwner = UINTPTR_MAX;
// Passes RunUntilIdle makes before it gives up on work that never ends.
constexpr int kIdlePassLimit = 10000;

Error SystemError(const char* what) { return MakeError(std::string(what) + ": " + std::strerror(errno)); }

}  // namespace

std::uint32_t PollToEpollEvents(short events) {
  std::uint32_t result = 0;
  if (events & POLLIN) result |= EPOLLIN;
  if (events & POLLOUT) result |= EPOLLOUT;
  if (events & POLLPRI) result |= EPOLLPRI;
  return result;
}

short EpollToPollEvents(std::uint32_t events) {
  short result = 0;
  if (events & EPOLLIN) result |= POLLIN;
  if (events & EPOLLOUT) result |= POLLOUT;
  if (events & EPOLLPRI) result |= POLLPRI;
  if (events & EPOLLERR) result |= POLLERR;
  if (events & EPOLLHUP) result |= POLLHUP;
  return result;
}

Result<std::unique_ptr<EventLoop>> EventLoop::Create(Clock& clock) {
  const int epollFd = ::epoll_create1(EPOLL_CLOEXEC);
  if (epollFd < 0) return SystemError("epoll_create1");
  const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd < 0) {
    Error error = SystemError("eventfd");
    ::close(epollFd);
    return error;
  }
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = kWakeData;
  if (::epoll_ctl(epollFd, EPOLL_CTL_ADD, wakeFd, &event) < 0) {
    Error error = SystemError("epoll_ctl");
    ::close(wakeFd);
    ::close(epollFd);
    return error;
  }
  return std::unique_ptr<EventLoop>(new EventLoop(clock, epollFd, wakeFd));
}

EventLoop::EventLoop(Clock& clock, int epollFd, int wakeFd)
    : clock_(clock), epollFd_(epollFd), wakeFd_(wakeFd), creator_(CurrentThreadToken()) {
  clock_.AddDueSource(*this);
}

EventLoop::~EventLoop() {
  clock_.RemoveDueSource(*this);
  ::close(wakeFd_);
  ::close(epollFd_);
}

void EventLoop::Wake() {
  // Under mutex_. One write until the loop has drained it.
  if (wakePending_) return;
  wakePending_ = true;
  const std::uint64_t one = 1;
  while (::write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void EventLoop::DrainWake() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::uint64_t count = 0;
  while (::read(wakeFd_, &count, sizeof count) < 0 && errno == EINTR) {
  }
  wakePending_ = false;
}

void EventLoop::Post(std::function<void()> task) {
  std::lock_guard<std::mutex> lock(mutex_);
  posted_.push_back(std::move(task));
  Wake();
}

void EventLoop::SetTimerEntry(TimerKey key, std::chrono::milliseconds interval, bool periodic,
                              std::function<void()> fn) {
  interval = std::max(interval, std::chrono::milliseconds(1));
  const MonoTime due = clock_.DeadlineAfter(interval);
  const bool onLoopThread = IsLoopThread();
  std::lock_guard<std::mutex> lock(mutex_);
  timers_[key] = Timer{due, interval, periodic, nextSequence_++, std::make_shared<std::function<void()>>(std::move(fn))};
  // A loop blocked in poll must learn the new earliest time.
  if (!onLoopThread) Wake();
}

void EventLoop::SetTimer(TimerKey key, std::chrono::milliseconds interval, std::function<void()> onTimer) {
  SetTimerEntry(key, interval, true, std::move(onTimer));
}

void EventLoop::PostAfter(std::chrono::milliseconds delay, std::function<void()> task) {
  std::uint64_t id;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    id = nextOneShot_++;
  }
  SetTimerEntry(TimerKey{kOneShotOwner, id}, delay, false, std::move(task));
}

bool EventLoop::KillTimer(TimerKey key) {
  std::lock_guard<std::mutex> lock(mutex_);
  return timers_.erase(key) != 0;
}

void EventLoop::KillTimers(std::uintptr_t owner) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(timers_, [owner](const auto& entry) { return entry.first.owner == owner; });
}

Result<EventLoop::WatchId> EventLoop::WatchFd(int fd, short events, std::function<void(short)> onReady) {
  std::lock_guard<std::mutex> lock(mutex_);
  const WatchId id = nextWatch_++;
  epoll_event event{};
  event.events = PollToEpollEvents(events);
  event.data.u64 = id;
  if (::epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &event) < 0) return SystemError("epoll_ctl(ADD)");
  watches_[id] = Watch{fd, events, std::make_shared<std::function<void(short)>>(std::move(onReady))};
  return id;
}

Status EventLoop::ChangeWatch(WatchId watch, short events) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = watches_.find(watch);
  if (it == watches_.end()) return MakeError("no such fd watch");
  if (it->second.events == events) return Status::Ok();
  epoll_event event{};
  event.events = PollToEpollEvents(events);
  event.data.u64 = watch;
  if (::epoll_ctl(epollFd_, EPOLL_CTL_MOD, it->second.fd, &event) < 0) return SystemError("epoll_ctl(MOD)");
  it->second.events = events;
  return Status::Ok();
}

void EventLoop::RemoveWatch(WatchId watch) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = watches_.find(watch);
  if (it == watches_.end()) return;
  // Fails harmlessly when the fd is already closed.
  ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, it->second.fd, nullptr);
  watches_.erase(it);
}

bool EventLoop::RunReadyFds() {
  epoll_event events[32];
  const int count = ::epoll_wait(epollFd_, events, 32, 0);
  bool ran = false;
  for (int i = 0; i < count; ++i) {
    if (events[i].data.u64 == kWakeData) {
      DrainWake();
      continue;
    }
    std::shared_ptr<std::function<void(short)>> callback;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = watches_.find(events[i].data.u64);
      // An earlier callback of this pass may have removed it.
      if (it == watches_.end()) continue;
      callback = it->second.callback;
    }
    (*callback)(EpollToPollEvents(events[i].events));
    ran = true;
  }
  return ran;
}

bool EventLoop::RunPosted() {
  // Only what was queued when the pass began, one at a time, so that work
  // posting more work cannot starve the rest and a nested loop run by a
  // task keeps the order.
  std::size_t count;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    count = posted_.size();
  }
  bool ran = false;
  for (std::size_t i = 0; i < count; ++i) {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (posted_.empty()) break;
      task = std::move(posted_.front());
      posted_.pop_front();
    }
    task();
    ran = true;
  }
  return ran;
}

bool EventLoop::RunDueTimers() {
  const MonoTime now = clock_.Mono();
  struct DueTimer {
    MonoTime due;
    std::uint64_t sequence;
    TimerKey key;
  };
  std::vector<DueTimer> due;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [key, timer] : timers_) {
      if (timer.due <= now) due.push_back({timer.due, timer.sequence, key});
    }
  }
  std::sort(due.begin(), due.end(), [](const DueTimer& a, const DueTimer& b) {
    return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
  });
  bool ran = false;
  for (const DueTimer& entry : due) {
    std::shared_ptr<std::function<void()>> callback;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = timers_.find(entry.key);
      // Killed or set anew by an earlier callback of this pass.
      if (it == timers_.end() || it->second.sequence != entry.sequence) continue;
      Timer& timer = it->second;
      callback = timer.callback;
      if (timer.periodic) {
        const auto missed = (now - timer.due) / timer.interval;
        timer.due += timer.interval * (missed + 1);
      } else {
        timers_.erase(it);
      }
    }
    (*callback)();
    ran = true;
  }
  return ran;
}

bool EventLoop::DispatchOnce() {
  const ThreadToken me = CurrentThreadToken();
  ThreadToken outer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    outer = inDispatch_;
    inDispatch_ = me;
  }
  bool ran = RunReadyFds();
  ran = RunPosted() || ran;
  ran = RunDueTimers() || ran;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    inDispatch_ = outer;
  }
  return ran;
}

void EventLoop::Dispatch() {
  // A simulated clock that asks for a pass (RunDue) while one is under
  // way gets another, so that what it made due is handled before this
  // thread reports itself idle.
  for (;;) {
    std::uint64_t requests;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests = wakeRequests_;
    }
    DispatchOnce();
    // Under the lock, so that a request cannot slip between the check and
    // the settling.
    std::lock_guard<std::mutex> lock(mutex_);
    if (requests == wakeRequests_) {
      clock_.SettleCurrentThread();
      return;
    }
  }
}

int EventLoop::RunUntilIdle() {
  int passes = 0;
  while (DispatchOnce()) {
    if (++passes == kIdlePassLimit) {
      DebugPrintf("EventLoop: still busy after %d passes (an fd that stays ready?)", kIdlePassLimit);
      break;
    }
  }
  clock_.SettleCurrentThread();
  return passes;
}

std::optional<std::chrono::milliseconds> EventLoop::NextTimeout() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!posted_.empty() || wakePending_ || quit_) return std::chrono::milliseconds(0);
  std::optional<MonoTime> earliest;
  for (const auto& [key, timer] : timers_) {
    if (!earliest || timer.due < *earliest) earliest = timer.due;
  }
  if (!earliest) return std::nullopt;
  return clock_.BlockingTimeout(*earliest);
}

Result<int> EventLoop::Run() {
  ThreadToken previous;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    previous = dispatcher_;
    dispatcher_ = CurrentThreadToken();
  }
  auto finish = [&](Result<int> result) {
    std::lock_guard<std::mutex> lock(mutex_);
    dispatcher_ = previous;
    quit_ = false;
    return result;
  };
  auto quitRequested = [&] {
    std::lock_guard<std::mutex> lock(mutex_);
    return quit_;
  };
  for (;;) {
    if (quitRequested()) break;
    Dispatch();
    if (quitRequested()) break;
    const auto timeout = NextTimeout();
    int timeoutMs = -1;
    if (timeout) timeoutMs = static_cast<int>(std::min<std::chrono::milliseconds::rep>(timeout->count(), INT_MAX));
    pollfd poller{epollFd_, POLLIN, 0};
    if (::poll(&poller, 1, timeoutMs) < 0 && errno != EINTR) return finish(SystemError("poll"));
  }
  int code;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    code = exitCode_;
  }
  return finish(code);
}

void EventLoop::Quit(int exitCode) {
  std::lock_guard<std::mutex> lock(mutex_);
  quit_ = true;
  exitCode_ = exitCode;
  Wake();
}

void EventLoop::BindToCurrentThread() {
  std::lock_guard<std::mutex> lock(mutex_);
  dispatcher_ = CurrentThreadToken();
}

void EventLoop::Unbind() {
  std::lock_guard<std::mutex> lock(mutex_);
  dispatcher_ = 0;
}

bool EventLoop::IsLoopThread() const {
  const ThreadToken me = CurrentThreadToken();
  std::lock_guard<std::mutex> lock(mutex_);
  return dispatcher_ != 0 ? dispatcher_ == me : creator_ == me;
}

std::optional<MonoTime> EventLoop::NextDue() {
  std::lock_guard<std::mutex> lock(mutex_);
  // A handler of this loop is advancing the clock (it waits on it, as a
  // sleep): the loop is busy, as a window is while its handler sleeps.
  if (inDispatch_ != 0 && inDispatch_ == CurrentThreadToken()) return std::nullopt;
  std::optional<MonoTime> earliest;
  if (!posted_.empty()) earliest = clock_.Mono();
  for (const auto& [key, timer] : timers_) {
    if (!earliest || timer.due < *earliest) earliest = timer.due;
  }
  return earliest;
}

void EventLoop::RunDue() {
  const ThreadToken me = CurrentThreadToken();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (dispatcher_ != 0 && dispatcher_ != me) {
      // Another thread runs the loop: hand it the work and let the clock
      // wait until it has settled.
      ++wakeRequests_;
      clock_.MarkBusy(dispatcher_);
      Wake();
      return;
    }
  }
  Dispatch();
}

}  // namespace quorvane::platform
