#include "platform/power/Logind.h"

#include <fcntl.h>
#include <poll.h>
#include <time.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/debug/DebugOutput.h"

namespace quorvane::platform {

namespace {

constexpr const char* kDestination = "org.freedesktop.login1";
constexpr const char* kPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";

const char* ModeName(InhibitMode mode) { return mode == InhibitMode::kBlock ? "block" : "delay"; }

// Calls a manager method and keeps the reply in `reply` (when given).
template <class... Args>
Status CallManager(sd_bus* bus, const char* method, sdbus::MessagePtr* reply, const char* signature, Args... args) {
  if (bus == nullptr) return MakeError(std::string("logind ") + method + ": the bus connection is closed");
  sdbus::BusError error;
  sd_bus_message* answer = nullptr;
  const int r =
      sd_bus_call_method(bus, kDestination, kPath, kManager, method, error.get(), &answer, signature, args...);
  sdbus::MessagePtr owned(answer);
  if (r < 0) return MakeError(error.Describe(std::string("logind ") + method, r));
  if (reply != nullptr) *reply = std::move(owned);
  return Status::Ok();
}

}  // namespace

Result<std::unique_ptr<Logind>> Logind::Connect() {
  sd_bus* bus = nullptr;
  const int r = sd_bus_open_system(&bus);
  if (r < 0) return sdbus::ErrnoError("cannot connect to the system bus", r);
  return Started(bus, "the system bus");
}

Result<std::unique_ptr<Logind>> Logind::ConnectTo(const std::string& address) {
  sd_bus* bus = nullptr;
  int r = sd_bus_new(&bus);
  if (r < 0) return sdbus::ErrnoError("cannot create a bus connection", r);
  sdbus::BusPtr owned(bus);
  r = sd_bus_set_address(bus, address.c_str());
  if (r >= 0) r = sd_bus_set_bus_client(bus, 1);
  if (r >= 0) r = sd_bus_start(bus);
  if (r < 0) return sdbus::ErrnoError("cannot connect to the bus at " + address, r);
  return Started(owned.release(), address);
}

Result<std::unique_ptr<Logind>> Logind::Started(sd_bus* bus, const std::string& where) {
  sdbus::BusPtr owned(bus);
  // Fails at once rather than waiting for a bus that never answers.
  const char* unique = nullptr;
  const int r = sd_bus_get_unique_name(bus, &unique);
  if (r < 0) return sdbus::ErrnoError("cannot connect to " + where, r);
  return std::unique_ptr<Logind>(new Logind(std::move(owned)));
}

Logind::~Logind() {
  *alive_ = false;
  Detach();
  signalSlot_.reset();
}

Status Logind::Suspend(bool interactive) {
  const Status status = CallManager(bus_.get(), "Suspend", nullptr, "b", static_cast<int>(interactive));
  AfterCall();
  return status;
}

Status Logind::Hibernate(bool interactive) {
  const Status status = CallManager(bus_.get(), "Hibernate", nullptr, "b", static_cast<int>(interactive));
  AfterCall();
  return status;
}

Status Logind::PowerOff(bool interactive) {
  const Status status = CallManager(bus_.get(), "PowerOff", nullptr, "b", static_cast<int>(interactive));
  AfterCall();
  return status;
}

Status Logind::TerminateSession(std::string_view sessionId) {
  if (sessionId.empty()) return MakeError("logind TerminateSession: no session given");
  const std::string id(sessionId);
  const Status status = CallManager(bus_.get(), "TerminateSession", nullptr, "s", id.c_str());
  AfterCall();
  return status;
}

Result<LogindInhibitor> Logind::Inhibit(std::string_view what, std::string_view who, std::string_view why,
                                        InhibitMode mode) {
  if (what.empty()) return MakeError("logind Inhibit: nothing to inhibit");
  const std::string whatText(what), whoText(who), whyText(why);
  sdbus::MessagePtr reply;
  const Status status = CallManager(bus_.get(), "Inhibit", &reply, "ssss", whatText.c_str(), whoText.c_str(),
                                    whyText.c_str(), ModeName(mode));
  AfterCall();
  if (!status) return status.error();
  int fd = -1;
  const int r = sd_bus_message_read(reply.get(), "h", &fd);
  if (r < 0) return sdbus::ErrnoError("logind Inhibit: unexpected answer", r);
  // The reply owns its fd; the lock lives as long as our own copy.
  const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  if (own < 0) return MakeError(std::string("logind Inhibit: cannot keep the lock: ") + std::strerror(errno));
  return LogindInhibitor(own, whatText, ModeName(mode));
}

Status Logind::OnPrepareForSleep(PrepareForSleepHandler handler) {
  if (!handler) {
    signalSlot_.reset();
    handler_ = nullptr;
    signals_.clear();
    return Status::Ok();
  }
  handler_ = std::move(handler);
  if (signalSlot_) return Status::Ok();
  if (!bus_) return MakeError("logind PrepareForSleep: the bus connection is closed");
  sd_bus_slot* slot = nullptr;
  const int r = sd_bus_match_signal(bus_.get(), &slot, kDestination, kPath, kManager, "PrepareForSleep", &OnSignal,
                                    this);
  AfterCall();
  if (r < 0) {
    handler_ = nullptr;
    return sdbus::ErrnoError("cannot subscribe to logind's PrepareForSleep", r);
  }
  signalSlot_.reset(slot);
  return Status::Ok();
}

int Logind::OnSignal(sd_bus_message* message, void* userdata, sd_bus_error*) {
  auto* self = static_cast<Logind*>(userdata);
  int start = 0;
  if (sd_bus_message_read(message, "b", &start) < 0) {
    DebugOutput("logind PrepareForSleep: signal without its boolean, ignored");
    return 0;
  }
  self->signals_.push_back(start != 0);
  return 0;
}

int Logind::Fd() const { return bus_ ? sd_bus_get_fd(bus_.get()) : -1; }

short Logind::Events() const {
  if (!bus_) return 0;
  return sdbus::PollEvents(bus_.get());
}

std::optional<std::chrono::milliseconds> Logind::Timeout() const {
  if (!signals_.empty()) return std::chrono::milliseconds(0);
  if (!bus_) return std::nullopt;
  return sdbus::TimeUntilDue(bus_.get());
}

Status Logind::Process() {
  if (!bus_) return MakeError("logind: the bus connection is closed");
  const Status status = sdbus::ProcessUntilIdle(bus_.get());
  const auto alive = alive_;
  Deliver();
  if (*alive) Rearm();
  return status;
}

void Logind::Deliver() {
  const auto alive = alive_;
  if (!handler_) signals_.clear();
  while (!signals_.empty() && handler_) {
    const bool start = signals_.front();
    signals_.pop_front();
    // A copy: the handler may replace itself or destroy this client.
    const PrepareForSleepHandler handler = handler_;
    handler(start);
    if (!*alive) return;
  }
}

void Logind::AfterCall() {
  if (loop_ == nullptr) return;
  const auto alive = alive_;
  loop_->Post([this, alive] {
    if (*alive) ProcessFromLoop();
  });
  Rearm();
}

Status Logind::AttachTo(EventLoop& loop) {
  Detach();
  if (!bus_) return MakeError("logind: the bus connection is closed");
  const auto alive = alive_;
  auto watch = loop.WatchFd(Fd(), Events(), [this, alive](short) {
    if (*alive) ProcessFromLoop();
  });
  if (!watch) return watch.error();
  loop_ = &loop;
  watch_ = *watch;
  AfterCall();
  return Status::Ok();
}

void Logind::ProcessFromLoop() {
  if (loop_ == nullptr) return;
  const auto alive = alive_;
  const Status status = Process();
  if (!*alive || status) return;
  DebugOutput("logind: " + status.error().message);
  Detach();
}

void Logind::Detach() {
  if (loop_ == nullptr) return;
  loop_->RemoveWatch(watch_);
  loop_->KillTimers(reinterpret_cast<std::uintptr_t>(this));
  loop_ = nullptr;
  watch_ = 0;
}

void Logind::Rearm() {
  if (loop_ == nullptr || !bus_) return;
  (void)loop_->ChangeWatch(watch_, Events());
  const EventLoop::TimerKey key{reinterpret_cast<std::uintptr_t>(this), 1};
  const auto timeout = Timeout();
  if (!timeout) {
    loop_->KillTimer(key);
    return;
  }
  const auto alive = alive_;
  loop_->SetTimer(key, *timeout, [this, alive, key] {
    if (!*alive || loop_ == nullptr) return;
    loop_->KillTimer(key);
    ProcessFromLoop();
  });
}

}  // namespace quorvane::platform
