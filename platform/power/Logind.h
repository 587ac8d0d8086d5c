#pragma once
// A client of logind's manager (org.freedesktop.login1 at
// /org/freedesktop/login1, interface org.freedesktop.login1.Manager) on
// the system bus: the power actions, session log-off, inhibitor locks and
// the PrepareForSleep signal that frames every suspend.
//
// The connection goes to $DBUS_SYSTEM_BUS_ADDRESS when it is set (tests
// run a private bus there), else to the system bus; ConnectTo takes an
// address. Calls block until logind answers. PrepareForSleep arrives while
// the connection is processed: poll Fd() for Events() with at most
// Timeout(), then Process(); or AttachTo a platform EventLoop. Signals are
// handed to the handler after the bus has been read, never from inside
// sd-bus, so the handler may call back (take or drop an inhibitor).
// One thread uses a Logind at a time.

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/base/Result.h"
#include "platform/loop/EventLoop.h"
#include "platform/power/LogindInhibitor.h"
#include "platform/winmsg/SdBus.h"

namespace quorvane::platform {

// What an inhibitor lock holds back ("what" of Inhibit; several joined by ':').
inline constexpr std::string_view kInhibitSleep = "sleep";
inline constexpr std::string_view kInhibitSleepAndIdle = "sleep:idle";
inline constexpr std::string_view kInhibitShutdown = "shutdown";

enum class InhibitMode {
  kBlock,  // refused while the lock is held
  kDelay,  // held back until the lock is released (or logind's delay ends)
};

class Logind {
 public:
  // start: true before the system sleeps, false after it resumed.
  using PrepareForSleepHandler = std::function<void(bool start)>;

  static Result<std::unique_ptr<Logind>> Connect();
  static Result<std::unique_ptr<Logind>> ConnectTo(const std::string& address);
  ~Logind();
  Logind(const Logind&) = delete;
  Logind& operator=(const Logind&) = delete;

  // `interactive`: logind may ask the user for authorisation.
  Status Suspend(bool interactive = false);
  Status Hibernate(bool interactive = false);
  Status PowerOff(bool interactive = false);
  Status TerminateSession(std::string_view sessionId);
  Result<LogindInhibitor> Inhibit(std::string_view what, std::string_view who, std::string_view why,
                                  InhibitMode mode);

  // Subscribes to PrepareForSleep (once the call returns, no signal is
  // missed); a second call replaces the handler. Empty unsubscribes.
  Status OnPrepareForSleep(PrepareForSleepHandler handler);

  int Fd() const;
  short Events() const;
  std::optional<std::chrono::milliseconds> Timeout() const;
  // Reads and writes what the connection has, then hands the signals that
  // came to the handler. An error means the connection is gone.
  Status Process();

  // Lets `loop` drive the connection; the loop must outlive the attachment.
  Status AttachTo(EventLoop& loop);
  void Detach();

 private:
  explicit Logind(sdbus::BusPtr bus) : bus_(std::move(bus)) {}
  static Result<std::unique_ptr<Logind>> Started(sd_bus* bus, const std::string& where);
  static int OnSignal(sd_bus_message* message, void* userdata, sd_bus_error* error);
  void Deliver();
  void AfterCall();  // queued signals may wait in sd-bus after a blocking call
  void ProcessFromLoop();
  void Rearm();

  sdbus::BusPtr bus_;
  sdbus::SlotPtr signalSlot_;
  PrepareForSleepHandler handler_;
  std::deque<bool> signals_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

  EventLoop* loop_ = nullptr;
  EventLoop::WatchId watch_ = 0;
};

}  // namespace quorvane::platform
