#include "platform/clock/SimulatedClock.h"

#include <algorithm>
#include <atomic>
#include <set>
#include <vector>

#include "platform/clock/ThreadToken.h"
#include "platform/debug/DebugOutput.h"

namespace quorvane::platform {

namespace {

using Nanos = std::chrono::nanoseconds;

// How long Advance waits for a busy thread before it stops waiting for it.
constexpr auto kBusyLimit = std::chrono::seconds(10);
// Rounds at one instant before Advance gives up on a source that keeps
// reporting work due (a loop posting to itself forever).
constexpr int kRunawayRounds = 10000;

struct WaitRecord {
  MonoTime deadline;
  std::condition_variable_any* cv;
  ThreadToken token;
};

// Holds the caller's lock and the clock's lock as one, so that a waiter
// gives up both atomically when it blocks: neither a state change under
// the caller's mutex nor a time change under the clock's can slip between
// its last check and its wait.
class BothLocks {
 public:
  BothLocks(std::unique_lock<std::mutex>& user, std::unique_lock<std::mutex>& clock) : user_(user), clock_(clock) {}
  void lock() {
    user_.lock();
    clock_.lock();
  }
  void unlock() {
    clock_.unlock();
    user_.unlock();
  }

 private:
  std::unique_lock<std::mutex>& user_;
  std::unique_lock<std::mutex>& clock_;
};

}  // namespace

struct SimulatedClock::State {
  std::atomic<Nanos::rep> mono{0};
  std::atomic<Nanos::rep> wall{0};

  // Guards waiters and busy; time is written under it and read without.
  mutable std::mutex mutex;
  std::condition_variable changed;  // busy shrank or waiters grew
  std::vector<WaitRecord*> waiters;
  std::set<ThreadToken> busy;

  // Held while sources are asked or run; recursive because a source run
  // inline may add or remove sources or advance the clock itself.
  std::recursive_mutex sourcesMutex;
  std::vector<DueSource*> sources;

  MonoTime Mono() const { return MonoTime(Nanos(mono.load())); }

  void Settle(ThreadToken token) {
    std::lock_guard<std::mutex> lock(mutex);
    if (busy.erase(token) != 0) changed.notify_all();
  }
};

namespace {

// What the clocks know about the calling thread.
struct ThreadClockRecord {
  std::vector<std::weak_ptr<SimulatedClock::State>> touched;
  std::vector<const SimulatedClock::State*> advancing;

  ~ThreadClockRecord() {
    // A thread that ends is no longer busy on any clock it waited on.
    for (auto& weak : touched) {
      if (auto state = weak.lock()) state->Settle(CurrentThreadToken());
    }
  }

  void Touch(const std::shared_ptr<SimulatedClock::State>& state) {
    for (auto& weak : touched) {
      if (weak.lock() == state) return;
    }
    std::erase_if(touched, [](const auto& weak) { return weak.expired(); });
    touched.push_back(state);
  }

  bool IsAdvancing(const SimulatedClock::State* state) const {
    return std::find(advancing.begin(), advancing.end(), state) != advancing.end();
  }
};

thread_local ThreadClockRecord threadRecord;

class AdvancingScope {
 public:
  explicit AdvancingScope(const SimulatedClock::State* state) { threadRecord.advancing.push_back(state); }
  ~AdvancingScope() { threadRecord.advancing.pop_back(); }
  AdvancingScope(const AdvancingScope&) = delete;
  AdvancingScope& operator=(const AdvancingScope&) = delete;
};

enum class Step { kProgressed, kIdle };

// Waits until no thread is busy on the clock; the advancing thread itself
// never counts.
void WaitSettled(SimulatedClock::State& state) {
  std::unique_lock<std::mutex> lock(state.mutex);
  state.busy.erase(CurrentThreadToken());
  const auto limit = std::chrono::steady_clock::now() + kBusyLimit;
  while (!state.busy.empty()) {
    if (state.changed.wait_until(lock, limit) == std::cv_status::timeout && !state.busy.empty()) {
      DebugPrintf("SimulatedClock: %zu thread(s) still busy after %lld s; advancing without them",
                  state.busy.size(), static_cast<long long>(kBusyLimit.count()));
      state.busy.clear();
    }
  }
}

// The earliest deadline after `now` of a waiting thread or a source.
std::optional<MonoTime> EarliestDue(SimulatedClock::State& state, MonoTime now, bool* dueNow) {
  std::optional<MonoTime> earliest;
  auto consider = [&](MonoTime t) {
    if (!earliest || t < *earliest) earliest = t;
  };
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    for (const WaitRecord* record : state.waiters) {
      // Waits already due have been woken and are leaving.
      if (record->deadline > now && record->deadline != kNoDeadline) consider(record->deadline);
    }
  }
  *dueNow = false;
  std::lock_guard<std::recursive_mutex> lock(state.sourcesMutex);
  for (DueSource* source : state.sources) {
    if (auto due = source->NextDue()) {
      if (*due <= now) *dueNow = true;
      consider(std::max(*due, now));
    }
  }
  return earliest;
}

void RunDueSources(SimulatedClock::State& state, MonoTime now) {
  std::lock_guard<std::recursive_mutex> lock(state.sourcesMutex);
  const std::vector<DueSource*> snapshot = state.sources;
  for (DueSource* source : snapshot) {
    // A source run earlier in this round may have removed this one.
    if (std::find(state.sources.begin(), state.sources.end(), source) == state.sources.end()) continue;
    auto due = source->NextDue();
    if (due && *due <= now) source->RunDue();
  }
}

// Sets the time to `to` and wakes the waits that end by then.
void MoveTo(SimulatedClock::State& state, MonoTime to) {
  std::lock_guard<std::mutex> lock(state.mutex);
  const Nanos::rep delta = to.time_since_epoch().count() - state.mono.load();
  state.mono.store(to.time_since_epoch().count());
  state.wall.fetch_add(delta);
  for (WaitRecord* record : state.waiters) {
    if (record->deadline <= to) {
      state.busy.insert(record->token);
      record->cv->notify_all();
    }
  }
}

// One stop on the way to `limit`: the next deadline, or `limit` itself.
Step StepTowards(SimulatedClock::State& state, MonoTime limit) {
  WaitSettled(state);
  const MonoTime now = state.Mono();
  bool dueNow = false;
  const auto next = EarliestDue(state, now, &dueNow);
  if (dueNow) {
    RunDueSources(state, now);
    WaitSettled(state);
    return Step::kProgressed;
  }
  MonoTime to;
  if (next && *next <= limit) {
    to = *next;
  } else if (limit != kNoDeadline) {
    to = limit;
  } else {
    return Step::kIdle;
  }
  if (to <= now) return Step::kIdle;
  MoveTo(state, to);
  WaitSettled(state);
  RunDueSources(state, to);
  WaitSettled(state);
  return Step::kProgressed;
}

}  // namespace

WallTime SimulatedClock::DefaultStart() { return std::chrono::system_clock::from_time_t(1767225600); }

SimulatedClock::SimulatedClock(WallTime start) : state_(std::make_shared<State>()) {
  // An arbitrary but fixed monotonic origin, far from zero.
  state_->mono.store(std::chrono::duration_cast<Nanos>(std::chrono::hours(1000)).count());
  state_->wall.store(std::chrono::duration_cast<Nanos>(start.time_since_epoch()).count());
}

SimulatedClock::~SimulatedClock() = default;

WallTime SimulatedClock::Wall() const {
  return WallTime(std::chrono::duration_cast<WallTime::duration>(Nanos(state_->wall.load())));
}

MonoTime SimulatedClock::Mono() const { return state_->Mono(); }

bool SimulatedClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable_any& cv,
                               MonoTime deadline, const std::function<bool()>& done) {
  State& state = *state_;
  if (threadRecord.IsAdvancing(&state)) {
    // This thread drives the clock: waiting means moving time on.
    for (;;) {
      if (done()) return true;
      if (state.Mono() >= deadline) return false;
      lock.unlock();
      const Step step = StepTowards(state, deadline);
      lock.lock();
      if (step == Step::kIdle) break;  // no deadline and nothing due: wait for other threads
    }
  }

  const ThreadToken me = CurrentThreadToken();
  threadRecord.Touch(state_);
  std::unique_lock<std::mutex> clockLock(state.mutex);
  WaitRecord record{deadline, &cv, me};
  state.waiters.push_back(&record);
  state.changed.notify_all();
  BothLocks both(lock, clockLock);
  bool finished = false;
  for (;;) {
    clockLock.unlock();
    finished = done();
    clockLock.lock();
    if (finished || state.Mono() >= deadline) break;
    if (state.busy.erase(me) != 0) state.changed.notify_all();
    cv.wait(both);
  }
  std::erase(state.waiters, &record);
  // A thread woken by the clock or by Notify stays busy until it waits
  // again or ends.
  return finished;
}

void SimulatedClock::Notify(std::condition_variable_any& cv) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  for (WaitRecord* record : state_->waiters) {
    if (record->cv == &cv) state_->busy.insert(record->token);
  }
  cv.notify_all();
}

std::optional<std::chrono::milliseconds> SimulatedClock::BlockingTimeout(MonoTime deadline) const {
  if (deadline <= Mono()) return std::chrono::milliseconds(0);
  return std::nullopt;
}

void SimulatedClock::AddDueSource(DueSource& source) {
  std::lock_guard<std::recursive_mutex> lock(state_->sourcesMutex);
  state_->sources.push_back(&source);
}

void SimulatedClock::RemoveDueSource(DueSource& source) {
  std::lock_guard<std::recursive_mutex> lock(state_->sourcesMutex);
  std::erase(state_->sources, &source);
}

void SimulatedClock::MarkBusy(ThreadToken token) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->busy.insert(token);
}

void SimulatedClock::SettleCurrentThread() { state_->Settle(CurrentThreadToken()); }

void SimulatedClock::Advance(std::chrono::nanoseconds duration) {
  if (duration < Nanos::zero()) return;
  AdvanceTo(DeadlineAfter(duration));
}

void SimulatedClock::AdvanceTo(MonoTime target) {
  State& state = *state_;
  AdvancingScope scope(&state);
  MonoTime last = state.Mono();
  int rounds = 0;
  while (StepTowards(state, target) == Step::kProgressed) {
    const MonoTime now = state.Mono();
    if (now != last) {
      last = now;
      rounds = 0;
    } else if (++rounds > kRunawayRounds) {
      DebugPrintf("SimulatedClock: work keeps falling due at one instant; stopped after %d rounds", kRunawayRounds);
      break;
    }
  }
}

void SimulatedClock::SetWall(WallTime wall) {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->wall.store(std::chrono::duration_cast<Nanos>(wall.time_since_epoch()).count());
    for (WaitRecord* record : state_->waiters) {
      state_->busy.insert(record->token);
      record->cv->notify_all();
    }
  }
  WaitSettled(*state_);
}

std::size_t SimulatedClock::Waiters() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->waiters.size();
}

bool SimulatedClock::WaitForWaiters(std::size_t count, std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(state_->mutex);
  return state_->changed.wait_for(lock, limit, [&] { return state_->waiters.size() >= count; });
}

}  // namespace quorvane::platform
