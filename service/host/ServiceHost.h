#pragma once
// The running service: the event loop, the control window with the
// console user's schedules, and the automation server on the bus. As a
// system service it serves on the system bus, checks every caller and
// reports its state to systemd; as a plain process it serves the session
// bus of its user and ends when its last instance has been released.
// SIGTERM (and SIGINT) stop it like the stop control.

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "platform/base/Result.h"
#include "platform/loop/EventLoop.h"
#include "platform/power/WakeTimer.h"
#include "platform/registry/RegistryLocations.h"
#include "platform/session/ConsoleUser.h"
#include "platform/winmsg/SdBus.h"
#include "service/automation/AutomationServer.h"
#include "service/host/EventLog.h"
#include "service/log/ServiceLog.h"
#include "service/window/CScheduleWnd.h"

namespace TESKTV::SERVICE {

// Service states as the service manager numbers them.
enum class ServiceState : unsigned { kStopped = 1, kStartPending = 2, kStopPending = 3, kRunning = 4 };

struct HostOptions {
  quorvane::platform::ProcessRole role = quorvane::platform::ProcessRole::kPlainProcess;
  // The connection to serve on; by default the system bus for a service,
  // the session bus otherwise.
  std::function<quorvane::platform::Result<quorvane::platform::sdbus::BusPtr>()> openBus;
  // The role's provider when null.
  const quorvane::platform::ConsoleUserProvider* consoleUsers = nullptr;
  quorvane::platform::WakeTimerFactory* wakeTimers = nullptr;
  ServiceLog* log = nullptr;  // the process's log when null
  std::optional<quorvane::platform::RegistryLocations> registry;
  // LogEvent; by role when empty.
  EventLogSink eventLog;
  // Stop on SIGTERM and SIGINT (the calling thread must have them blocked).
  bool handleSignals = false;
  // Runs on the loop's thread once the service is reachable on the bus.
  std::function<void()> onReady;
};

class ServiceHost {
 public:
  explicit ServiceHost(HostOptions options);
  ~ServiceHost();
  ServiceHost(const ServiceHost&) = delete;
  ServiceHost& operator=(const ServiceHost&) = delete;

  // Runs until stopped; the exit code.
  int Run();
  // Any thread, also before Run has made its loop: stops as the stop
  // control does.
  void Stop();
  // Any thread: runs `task` on the loop's thread with the window (null
  // when there is none). False when the loop is not running.
  bool Post(std::function<void(CScheduleWnd*)> task);

 private:
  void LogEvent(std::string_view text) const;
  void ReportStatus(ServiceState state) const;
  void StopFromLoop();
  quorvane::platform::Status WatchSignals();

  HostOptions options_;
  std::unique_ptr<quorvane::platform::ConsoleUserProvider> ownUsers_;
  ServiceLog& log_;
  std::unique_ptr<quorvane::platform::EventLoop> loop_;
  std::unique_ptr<CScheduleWnd> window_;
  std::unique_ptr<AutomationServer> server_;
  int signalFd_ = -1;
  quorvane::platform::EventLoop::WatchId signalWatch_ = 0;

  std::mutex mutex_;  // guards loop_ for other threads
  bool stopRequested_ = false;
};

}  // namespace TESKTV::SERVICE
