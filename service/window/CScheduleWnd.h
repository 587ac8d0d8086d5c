#pragma once
// The service's control window: it owns the console user's schedule
// monitor, serves the automation calls (each instance forwards here),
// holds the "AP" and "Quick" controls that receive the window's events,
// and handles the monitor's and the timers' messages on the loop's thread.
//
// Everything here runs on the thread of the event loop; the monitor and
// timer threads only post to the window.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "interface/record/ScheduleProgramBox.h"
#include "platform/loop/EventLoop.h"
#include "platform/power/WakeTimer.h"
#include "platform/registry/RegistryLocations.h"
#include "platform/session/ConsoleUser.h"
#include "service/automation/IScheduleProgram.h"
#include "service/log/ServiceLog.h"
#include "service/messages/LoopWindowPoster.h"
#include "service/messages/ServiceMessages.h"
#include "service/monitor/ScheduleMonitor.h"
#include "service/timer/CTeskTimer.h"
#include "service/window/WindowSettings.h"

namespace TESKTV::SERVICE {

class PowerManager;

enum class ControlRole { kAP, kQuick };

// The local application data folder of `user`: the process's own for its
// own user, otherwise the default one below the user's home.
std::string LocalAppDataOf(const quorvane::platform::ConsoleUser& user);

class CScheduleWnd {
 public:
  struct Dependencies {
    quorvane::platform::EventLoop* loop = nullptr;  // required
    const quorvane::platform::ConsoleUserProvider* consoleUsers = nullptr;  // required
    ServiceLog* log = nullptr;  // the process's log when null
    // The machine registry; the locations from the environment when empty.
    std::optional<quorvane::platform::RegistryLocations> registry;
    // Creates the one-shot timers (a timer that cannot wake the system
    // still fires while it is awake); the system's alarm timers when null.
    quorvane::platform::WakeTimerFactory* wakeTimers = nullptr;
    bool is64BitSystem = false;
  };

  static constexpr std::uint64_t kReloadTimerId = TESK_RELOAD_SCHEDULES;
  static constexpr std::chrono::milliseconds kReloadDelay{1000};

  explicit CScheduleWnd(Dependencies deps);
  // Stops the timers and the monitor (which saves a changed list).
  ~CScheduleWnd();
  CScheduleWnd(const CScheduleWnd&) = delete;
  CScheduleWnd& operator=(const CScheduleWnd&) = delete;

  // Finds the console user's schedule file and starts a monitor on it.
  // Nobody at the console, or no account name: retried a second later.
  // False only when the monitor could not be made.
  bool LoadScheduleProgram();
  // Called when a reload failed: the window asks its owner to destroy it
  // (later, never from inside this call).
  void SetDestroyRequest(std::function<void()> request) { destroyRequest_ = std::move(request); }

  SCHEDULE::ScheduleMonitor* Monitor() const { return monitor_.get(); }
  // The path the monitor was loaded from; empty without one.
  std::string SchedulePath() const;
  // The uid whose schedules are loaded; nothing without a monitor.
  std::optional<uid_t> LoadedUser() const { return monitor_ ? loadedUser_ : std::nullopt; }

  // The schedule operations, forwarded to the monitor. Without a monitor
  // or a record they fail and leave `nErr` alone; a record whose times are
  // not valid local times fails the same way. A successful change posts
  // the reload.
  bool AddScheduleProgram2(const SCHEDULE_PROGRAM_BOX* box, std::int32_t* nErr);
  bool CheckAddScheduleProgram(const SCHEDULE_PROGRAM_BOX* box, std::int32_t* nErr);
  bool UpdateScheduleProgram2(const SCHEDULE_PROGRAM_BOX* box, bool updateFile, std::int32_t* nErr);
  bool ModifyScheduleStatus(const SCHEDULE_PROGRAM_BOX* box, bool updateFile, std::int32_t* nErr);
  bool RemoveScheduleProgram(std::string_view id);
  bool GetScheduleProgram2(std::string_view id, SCHEDULE_PROGRAM_BOX* box);
  // By index in the visible list.
  bool GetScheduleProgram2(std::int32_t index, SCHEDULE_PROGRAM_BOX* box);
  std::int32_t GetScheduleProgramNum();
  bool DelAnotherAPTimeConflictSp();
  bool SetWakeUpSchedule(std::int32_t seconds);

  // The two controls; the last registration wins.
  bool SetCtrlInterface(ControlRole role, std::shared_ptr<IScheduleProgram> control);
  void ReleaseCtrlInterface(ControlRole role);
  std::shared_ptr<IScheduleProgram> Control(ControlRole role) const;

  void SetBeginAP(std::string path);
  const std::string& BeginAP() const { return beginAP_; }

  // Tells the "AP" control's client that the service stops.
  void StopSchedule();
  // Hands the record that starts recording to the "AP" and "Quick" controls.
  void ActiveScheduleProgram(const SCHEDULE::ScheduleProgram& record);
  // Asks the "AP" control's client to close the capture application.
  void InvokeCloseAPOnControl();
  // One countdown second to the "Quick" control's client.
  void InvokeRemainTimeOnControl(std::int32_t category, std::int32_t seconds);

  // The after-record action timer.
  void SetSleepTime(std::int32_t category, std::int32_t seconds);
  void CancelSleepTime();
  SleepTimeReply GetSleepTime();

  const WindowSettings& Settings() const { return settings_; }
  WindowPoster& Poster() { return poster_; }
  quorvane::platform::EventLoop& Loop() const { return loop_; }

 private:
  void WindowProc(const PostedMessage& message);
  void PostReload();
  void Reload();
  std::int64_t Now() const;
  std::uintptr_t TimerOwner() const { return reinterpret_cast<std::uintptr_t>(this); }
  CTeskTimer* CreateTimer(std::int32_t kind, std::int64_t seconds);

  // The recording sequence and power actions (CScheduleWndSequence.cpp).
  void OnActiveAP(const std::shared_ptr<const SCHEDULE::ScheduleProgram>& record);
  void OnActiveSchedule(const std::shared_ptr<const SCHEDULE::ScheduleProgram>& record);
  void OnTimerMessage(TimerKind kind);
  void OnTimer(std::uint64_t id);

  quorvane::platform::EventLoop& loop_;
  const quorvane::platform::ConsoleUserProvider& consoleUsers_;
  ServiceLog& log_;
  const quorvane::platform::RegistryLocations registry_;
  quorvane::platform::WakeTimerFactory* wakeTimers_;
  const bool is64BitSystem_;
  const WindowSettings settings_;
  LoopWindowPoster poster_;
  std::function<void()> destroyRequest_;

  std::unique_ptr<SCHEDULE::ScheduleMonitor> monitor_;
  std::optional<uid_t> loadedUser_;
  std::shared_ptr<IScheduleProgram> apControl_;
  std::shared_ptr<IScheduleProgram> quickControl_;
  std::string beginAP_;

  // The recording sequence and the power management with what they drive
  // (box control, the launcher, logind, the wake timers); made last, from
  // the members above, and destroyed first (CScheduleWndSequence.cpp).
  struct Recording;
  struct RecordingDeleter {
    void operator()(Recording* recording) const;
  };
  std::unique_ptr<Recording, RecordingDeleter> MakeRecording();
  PowerManager& Power();
  std::unique_ptr<Recording, RecordingDeleter> recording_{MakeRecording()};
};

}  // namespace TESKTV::SERVICE
