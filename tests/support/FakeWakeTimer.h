#pragma once
// WakeTimer for tests: records every arming and fires by itself when a
// simulated clock's wall time reaches the armed time (it is a due source of
// the clock, and follows jumps of the wall clock as after a resume).
// FireDue() fires by hand on any clock. Whether the system can wake is
// settable.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock/Clock.h"
#include "platform/power/WakeTimer.h"

namespace quorvane::testing {

class FakeWakeTimerFactory final : public platform::WakeTimerFactory, private platform::DueSource {
 public:
  struct Arming {
    std::string name;
    platform::WallTime due;
    bool wakeSystem = false;
  };

  explicit FakeWakeTimerFactory(platform::Clock& clock) : clock_(clock), state_(std::make_shared<State>()) {
    clock_.AddDueSource(*this);
  }
  ~FakeWakeTimerFactory() override { clock_.RemoveDueSource(*this); }
  FakeWakeTimerFactory(const FakeWakeTimerFactory&) = delete;
  FakeWakeTimerFactory& operator=(const FakeWakeTimerFactory&) = delete;

  void SetWakeSupported(bool supported) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->wakeSupported = supported;
  }

  platform::Result<std::unique_ptr<platform::WakeTimer>> Create(std::string_view name) override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    const std::uint64_t id = state_->nextId++;
    state_->timers[id] = Timer{std::string(name), std::nullopt, {}};
    return std::unique_ptr<platform::WakeTimer>(new FakeTimer(state_, id));
  }

  // Every successful Arm, in order.
  std::vector<Arming> Armings() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->armings;
  }
  // Timers armed now and not yet fired.
  std::vector<Arming> Armed() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    std::vector<Arming> armed;
    for (const auto& [id, timer] : state_->timers) {
      if (timer.armed) armed.push_back(*timer.armed);
    }
    return armed;
  }
  // Timers created and not yet destroyed.
  std::size_t Live() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->timers.size();
  }

  // Fires the armed timers whose time has come on the clock; returns how many.
  int FireDue() {
    std::vector<std::function<void()>> callbacks;
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      const platform::WallTime now = clock_.Wall();
      for (auto& [id, timer] : state_->timers) {
        if (timer.armed && timer.armed->due <= now) {
          timer.armed.reset();
          callbacks.push_back(std::move(timer.onExpired));
        }
      }
    }
    for (auto& callback : callbacks) callback();
    return static_cast<int>(callbacks.size());
  }

 private:
  struct Timer {
    std::string name;
    std::optional<Arming> armed;
    std::function<void()> onExpired;
  };
  struct State {
    std::mutex mutex;
    bool wakeSupported = true;
    std::uint64_t nextId = 1;
    std::map<std::uint64_t, Timer> timers;
    std::vector<Arming> armings;
  };

  class FakeTimer final : public platform::WakeTimer {
   public:
    FakeTimer(std::shared_ptr<State> state, std::uint64_t id) : state_(std::move(state)), id_(id) {}
    ~FakeTimer() override {
      std::lock_guard<std::mutex> lock(state_->mutex);
      state_->timers.erase(id_);
    }
    platform::Status Arm(platform::WallTime due, bool wakeSystem, std::function<void()> onExpired) override {
      std::lock_guard<std::mutex> lock(state_->mutex);
      Timer& timer = state_->timers[id_];
      if (wakeSystem && !state_->wakeSupported) {
        timer.armed.reset();
        return platform::MakeError("waking the system is not supported");
      }
      timer.armed = Arming{timer.name, due, wakeSystem};
      timer.onExpired = std::move(onExpired);
      state_->armings.push_back(*timer.armed);
      return platform::Status::Ok();
    }
    void Cancel() override {
      std::lock_guard<std::mutex> lock(state_->mutex);
      state_->timers[id_].armed.reset();
    }

   private:
    std::shared_ptr<State> state_;
    std::uint64_t id_;
  };

  // The earliest armed time as a monotonic deadline, recomputed from the
  // wall clock each time the clock asks.
  std::optional<platform::MonoTime> NextDue() override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    std::optional<platform::WallTime> earliest;
    for (const auto& [id, timer] : state_->timers) {
      if (timer.armed && (!earliest || timer.armed->due < *earliest)) earliest = timer.armed->due;
    }
    if (!earliest) return std::nullopt;
    const auto left = *earliest - clock_.Wall();
    if (left <= platform::WallTime::duration::zero()) return clock_.Mono();
    return clock_.Mono() + std::chrono::duration_cast<platform::MonoTime::duration>(left);
  }
  void RunDue() override { FireDue(); }

  platform::Clock& clock_;
  std::shared_ptr<State> state_;
};

}  // namespace quorvane::testing
