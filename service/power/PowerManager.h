#pragma once
// The service's power management, run on the window's thread: the three
// one-shot timer slots (after-record action, start-application, wake-up),
// the countdown before the after-record action (window timer 2), the
// actions themselves, and what stands in for the suspend broadcasts:
//
//   suspend query  -> a "block" sleep inhibitor held while a schedule
//                     starts within 150 s or a recording runs (checked
//                     every few seconds);
//   suspend        -> a "delay" inhibitor; at PrepareForSleep(true) the
//                     wake-up is armed 120 s before the nearest schedule,
//                     then the inhibitor is let go;
//   resume         -> PrepareForSleep(false): the wake setting is put back
//                     and the delay inhibitor taken again.
//
// With no enabled schedule in the future, or no monitor (nobody logged
// on), no wake-up is armed.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/loop/EventLoop.h"
#include "platform/power/WakeTimer.h"
#include "platform/session/ConsoleUser.h"
#include "service/log/ServiceLog.h"
#include "service/messages/ServiceMessages.h"
#include "service/messages/WindowPoster.h"
#include "service/power/PowerSystem.h"
#include "service/timer/CTeskTimer.h"

namespace TESKTV::SERVICE {

// Window timers of the sleep-block check and of the delayed release of the
// delay lock (next to timers 2 and 4).
inline constexpr std::uint64_t kSleepGateTimerId = 6;
inline constexpr std::uint64_t kSleepDelayTimerId = 7;

enum class PowerEvent { kQuerySuspend, kSuspend, kResumeAutomatic, kResumeSuspend, kOther };

struct NearestSchedule {
  bool rightNow = false;
  // Seconds from now to the nearest schedule; nothing without a monitor
  // or without an enabled schedule in the future.
  std::optional<std::int64_t> secondsAhead;
};

struct SleepTime {
  std::int32_t category = 0;
  std::int32_t seconds = 0;
};

class PowerManager {
 public:
  static constexpr std::int64_t kRefuseWithinSeconds = 150;
  static constexpr std::int64_t kWakeAheadSeconds = 120;
  static constexpr std::chrono::milliseconds kCountdownTick{1000};
  static constexpr std::chrono::milliseconds kSleepGateCheck{5000};
  static constexpr std::chrono::milliseconds kArmingGrace{500};
  static constexpr int kRefuse = -1;

  struct Hooks {
    // NearestTime of the monitor (0: none); nothing without a monitor.
    std::function<std::optional<std::int64_t>()> nearestTime;
    // InVokeRemainTime on the "Quick" control.
    std::function<void(std::int32_t category, std::int32_t seconds)> invokeRemainTime;
    // InVokeCloseAP on the "AP" control.
    std::function<void()> invokeCloseAP;
  };

  struct Dependencies {
    quorvane::platform::EventLoop* loop = nullptr;  // required; its clock is the clock
    WindowPoster* window = nullptr;                 // required; receives the timers' messages
    std::uintptr_t timerOwner = 0;                  // owner of the window timers
    ServiceLog* log = nullptr;                      // required
    quorvane::platform::WakeTimerFactory* wakeTimers = nullptr;  // no timers without
    PowerSystem* power = nullptr;                   // no actions and no inhibitors without
    WakeSetting* wakeSetting = nullptr;             // wake timers not allowed explicitly without
    const quorvane::platform::ConsoleUserProvider* consoleUsers = nullptr;  // for log-off
    std::uint32_t countDownSec = 60;
    // The system is newer than major version 5 (always so here).
    bool newerSystem = true;
  };

  PowerManager(Dependencies deps, Hooks hooks);
  // Stops the window timers and the one-shot timers; lets the locks go.
  ~PowerManager();
  PowerManager(const PowerManager&) = delete;
  PowerManager& operator=(const PowerManager&) = delete;

  // Takes the delay inhibitor, listens for PrepareForSleep and starts the
  // sleep-block check.
  void Start();

  CTeskTimer* CreateTimer(std::int32_t kind, std::int64_t seconds);
  void SetSleepTime(std::int32_t category, std::int32_t seconds);
  void CancelSleepTime();
  SleepTime GetSleepTime();
  NearestSchedule HasScheduleRightNow(std::int64_t windowSeconds);
  void NotifyRemainProc();
  int DoPowerBroadcast(PowerEvent event);

  // A timer's message reached the window.
  void OnTimerMessage(TimerKind kind);
  // Window timer 2.
  void OnCountdownTick();
  // The recording program runs until `end` (wall seconds).
  void RecordingRunsUntil(std::int64_t end);
  // Holds or lets go the block inhibitor as the schedules say now.
  void RefreshSleepBlock();
  void OnPrepareForSleep(bool start);

  void RunExitWindows(bool hibernate);
  void ShutDown();
  void ActiveLogoff();

  CTeskTimer* SleepActionTimer() const { return sleepTimer_.get(); }
  CTeskTimer* StartApTimer() const { return startApTimer_.get(); }
  CTeskTimer* WakeUpTimer() const { return wakeUpTimer_.get(); }
  std::int32_t PendingCategory() const { return pendingCategory_; }
  std::int32_t Countdown() const { return countdown_; }
  bool CountdownFirst() const { return countdownFirst_; }
  bool SleepBlocked() const { return blockHeld_; }

 private:
  std::int64_t Now() const;
  quorvane::platform::EventLoop::TimerKey Key(std::uint64_t id) const { return {deps_.timerOwner, id}; }
  void AllowWakeTimers();
  void RestoreWakeTimers();
  // Arms the wake-up for the nearest schedule; true when one is due within
  // the refusal window.
  bool ArmWakeUpForNextSchedule(bool armNowWhenDue);
  std::optional<quorvane::platform::WallTime> WakeUpDue() const;
  void PerformPending();

  Dependencies deps_;
  Hooks hooks_;
  ServiceLog& log_;

  std::unique_ptr<CTeskTimer> sleepTimer_;
  std::unique_ptr<CTeskTimer> startApTimer_;
  std::unique_ptr<CTeskTimer> wakeUpTimer_;
  std::int32_t pendingCategory_ = -1;
  std::int32_t countdown_;
  bool countdownFirst_ = false;
  std::int64_t recordingEnd_ = 0;
  bool blockHeld_ = false;
  bool sleeping_ = false;
};

}  // namespace TESKTV::SERVICE
