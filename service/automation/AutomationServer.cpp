#include "service/automation/AutomationServer.h"

#include <poll.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "interface/bus/ScheduleProgramBus.h"
#include "platform/debug/DebugOutput.h"

namespace TESKTV::SERVICE {

namespace platform = quorvane::platform;
namespace sdbus = platform::sdbus;
namespace automation = quorvane::automation;

namespace {

bool IsOneOf(const char* text, std::initializer_list<const char*> choices) {
  if (text == nullptr) return false;
  return std::any_of(choices.begin(), choices.end(), [text](const char* c) { return std::strcmp(text, c) == 0; });
}

}  // namespace

AutomationServer::AutomationServer(platform::EventLoop& loop, CScheduleProgramCtrl::WindowAccess window,
                                   Options options)
    : loop_(loop), window_(std::move(window)), options_(std::move(options)) {}

platform::Result<std::unique_ptr<AutomationServer>> AutomationServer::Start(sdbus::BusPtr bus,
                                                                           platform::EventLoop& loop,
                                                                           CScheduleProgramCtrl::WindowAccess window,
                                                                           Options options) {
  if (options.checkCallers && options.consoleUsers == nullptr) {
    return platform::MakeError("checking callers needs the console user");
  }
  std::unique_ptr<AutomationServer> server(new AutomationServer(loop, std::move(window), std::move(options)));
  server->connection_->bus = std::move(bus);
  if (platform::Status served = server->Serve(); !served) return served.error();
  return server;
}

platform::Status AutomationServer::Serve() {
  sd_bus* bus = connection_->get();
  sd_bus_slot* slot = nullptr;
  int r = sd_bus_add_filter(bus, &slot, &OnFilter, this);
  if (r < 0) return sdbus::ErrnoError("cannot check callers", r);
  filterSlot_.reset(slot);

  slot = nullptr;
  r = sd_bus_match_signal(bus, &slot, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                          "NameOwnerChanged", &OnNameOwnerChanged, this);
  if (r < 0) return sdbus::ErrnoError("cannot watch the clients' connections", r);
  ownerMatchSlot_.reset(slot);

  auto factory = FactoryAdaptor::Serve(connection_, [this](const std::string& caller) { return CreateInstanceFor(caller); });
  if (!factory) return factory.error();
  factory_ = std::move(*factory);

  r = sd_bus_request_name(bus, automation::kBusName, 0);
  if (r == -EEXIST) return platform::MakeError(std::string("another process serves ") + automation::kBusName);
  if (r < 0) return sdbus::ErrnoError(std::string("cannot own ") + automation::kBusName, r);
  ownsName_ = true;

  const auto alive = alive_;
  auto watch = loop_.WatchFd(sd_bus_get_fd(bus), POLLIN, [this, alive](short) {
    if (*alive) ProcessFromLoop();
  });
  if (!watch) return watch.error();
  watch_ = *watch;
  attached_ = true;
  connection_->afterOutput = [this, alive] {
    if (*alive) Rearm();
  };
  // Taking the name was a blocking call; what came meanwhile waits in
  // sd-bus's queue, not on the socket.
  loop_.Post([this, alive] {
    if (*alive) ProcessFromLoop();
  });
  Rearm();
  return platform::Status::Ok();
}

AutomationServer::~AutomationServer() {
  *alive_ = false;
  if (attached_) {
    loop_.RemoveWatch(watch_);
    loop_.KillTimers(reinterpret_cast<std::uintptr_t>(this));
    attached_ = false;
  }
  connection_->afterOutput = nullptr;
  instances_.clear();
  factory_.reset();
  if (connection_->bus) {
    if (ownsName_) sd_bus_release_name(connection_->get(), automation::kBusName);
    ownerMatchSlot_.reset();
    filterSlot_.reset();
    connection_->bus.reset();  // flushes what is queued and closes
  }
}

std::string AutomationServer::UniqueName() const {
  const char* name = nullptr;
  if (sd_bus_get_unique_name(connection_->get(), &name) < 0 || name == nullptr) return {};
  return name;
}

platform::Result<std::string> AutomationServer::CreateInstanceFor(const std::string& caller) {
  std::string path = automation::InstancePath(nextSerial_++);
  auto engine = std::make_shared<CScheduleProgramCtrl>(window_);
  const auto alive = alive_;
  auto adaptor = InstanceAdaptor::Serve(connection_, path, caller, engine, [this, alive, path] {
    if (*alive) EndInstance(path);
  });
  if (!adaptor) return adaptor.error();
  instances_[path] = Instance{std::move(engine), std::move(*adaptor)};
  hadInstances_ = true;
  return path;
}

void AutomationServer::EndInstance(const std::string& path) {
  const auto it = instances_.find(path);
  if (it == instances_.end() || it->second.adaptor->IsEnded()) return;
  it->second.adaptor->End();
  toEnd_.push_back(path);
}

void AutomationServer::EndInstancesOf(const std::string& owner) {
  for (auto& [path, instance] : instances_) {
    if (instance.adaptor->owner() == owner && !instance.adaptor->IsEnded()) {
      instance.adaptor->End();
      toEnd_.push_back(path);
    }
  }
}

void AutomationServer::RunDeferred() {
  if (toEnd_.empty()) return;
  const std::vector<std::string> ended = std::move(toEnd_);
  toEnd_.clear();
  for (const std::string& path : ended) instances_.erase(path);
  if (instances_.empty() && hadInstances_ && options_.onLastInstanceEnded) options_.onLastInstanceEnded();
}

std::optional<uid_t> AutomationServer::CallerUid(sd_bus_message* call) {
  const char* sender = sd_bus_message_get_sender(call);
  if (sender == nullptr) return std::nullopt;
  // A unique name is never given to another connection, and a
  // connection's credentials are those it had when it connected.
  if (const auto cached = callerUids_.find(sender); cached != callerUids_.end()) return cached->second;
  sd_bus_creds* raw = nullptr;
  const int r = sd_bus_query_sender_creds(call, SD_BUS_CREDS_EUID, &raw);
  if (r < 0) return std::nullopt;
  uid_t euid = 0;
  const int got = sd_bus_creds_get_euid(raw, &euid);
  sd_bus_creds_unref(raw);
  if (got < 0) return std::nullopt;
  callerUids_[sender] = euid;
  return euid;
}

bool AutomationServer::Admit(sd_bus_message* call) {
  const char* path = sd_bus_message_get_path(call);
  if (path == nullptr) return true;
  const bool isFactory = std::strcmp(path, automation::kFactoryPath) == 0;
  const bool isInstance = automation::IsInstancePath(path);
  if (!isFactory && !isInstance) return true;
  // Introspection and the peer interface tell nothing about anybody's schedules.
  if (IsOneOf(sd_bus_message_get_interface(call), {"org.freedesktop.DBus.Introspectable", "org.freedesktop.DBus.Peer",
                                                   "org.freedesktop.DBus.Properties"})) {
    return true;
  }
  if (options_.checkCallers) {
    const std::optional<uid_t> uid = CallerUid(call);
    const auto user = options_.consoleUsers->CurrentConsoleUser();
    const bool allowed = uid && (*uid == 0 || (user && user->uid == *uid));
    if (!allowed) {
      sd_bus_reply_method_errorf(call, automation::kAccessDeniedError,
                                 "only root and the user at the console may use the schedule service");
      connection_->Wrote();
      return false;
    }
    if (*uid != 0 && options_.beforeUserCall) options_.beforeUserCall(*uid);
  }
  if (isInstance) {
    const auto it = instances_.find(path);
    if (it == instances_.end()) return true;  // sd-bus answers that there is no such object
    const char* sender = sd_bus_message_get_sender(call);
    if (it->second.adaptor->IsEnded()) {
      sd_bus_reply_method_errorf(call, SD_BUS_ERROR_UNKNOWN_OBJECT, "the instance %s was released", path);
      connection_->Wrote();
      return false;
    }
    if (sender == nullptr || it->second.adaptor->owner() != sender) {
      sd_bus_reply_method_errorf(call, automation::kAccessDeniedError, "the instance belongs to another client");
      connection_->Wrote();
      return false;
    }
  }
  return true;
}

int AutomationServer::OnFilter(sd_bus_message* message, void* userdata, sd_bus_error*) {
  auto* self = static_cast<AutomationServer*>(userdata);
  if (sd_bus_message_is_method_call(message, nullptr, nullptr) <= 0) return 0;
  return self->Admit(message) ? 0 : 1;
}

int AutomationServer::OnNameOwnerChanged(sd_bus_message* message, void* userdata, sd_bus_error*) {
  auto* self = static_cast<AutomationServer*>(userdata);
  const char* name = nullptr;
  const char* oldOwner = nullptr;
  const char* newOwner = nullptr;
  if (sd_bus_message_read(message, "sss", &name, &oldOwner, &newOwner) < 0 || name == nullptr) return 0;
  if (name[0] != ':' || (newOwner != nullptr && newOwner[0] != '\0')) return 0;
  self->callerUids_.erase(name);
  self->EndInstancesOf(name);
  return 0;
}

platform::Status AutomationServer::Process() {
  if (!connection_->bus) return platform::MakeError("the service's bus connection is closed");
  const platform::Status status = sdbus::ProcessUntilIdle(connection_->get());
  const auto alive = alive_;
  RunDeferred();
  if (!*alive) return status;
  Rearm();
  return status;
}

void AutomationServer::ProcessFromLoop() {
  const platform::Status status = Process();
  if (!status) platform::DebugOutput("TeskIrWakeward bus: " + status.error().message);
}

void AutomationServer::Rearm() {
  if (!attached_ || !connection_->bus) return;
  sd_bus* bus = connection_->get();
  (void)loop_.ChangeWatch(watch_, sdbus::PollEvents(bus));
  const platform::EventLoop::TimerKey key{reinterpret_cast<std::uintptr_t>(this), 1};
  const auto due = sdbus::TimeUntilDue(bus);
  if (!due) {
    loop_.KillTimer(key);
    return;
  }
  const auto wait = *due;
  const auto alive = alive_;
  loop_.SetTimer(key, wait, [this, alive, key] {
    if (!*alive) return;
    loop_.KillTimer(key);
    ProcessFromLoop();
  });
}

}  // namespace TESKTV::SERVICE
