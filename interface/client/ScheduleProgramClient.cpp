#include "interface/client/ScheduleProgramClient.h"

#include <poll.h>
#include <time.h>

#include <algorithm>
#include <cstring>

#include "platform/debug/DebugOutput.h"

namespace quorvane::automation {

namespace sdbus = platform::sdbus;
using platform::MakeError;
using platform::Result;
using platform::Status;

namespace {

constexpr char kLocalPath[] = "/org/freedesktop/DBus/Local";
constexpr char kLocalInterface[] = "org.freedesktop.DBus.Local";

// Errors that mean the instance or its service is no longer there.
bool IsGone(const sdbus::BusError& error, int result) {
  return result == -ECONNRESET || result == -ENOTCONN || error.HasName(SD_BUS_ERROR_SERVICE_UNKNOWN) ||
         error.HasName(SD_BUS_ERROR_NAME_HAS_NO_OWNER) || error.HasName(SD_BUS_ERROR_UNKNOWN_OBJECT) ||
         error.HasName(SD_BUS_ERROR_DISCONNECTED) || error.HasName(SD_BUS_ERROR_NO_REPLY);
}

int AppendBox(sd_bus_message* call, const wire::SCHEDULE_PROGRAM_BOX& box) {
  const wire::BoxBytes bytes = wire::Encode(box);
  return sd_bus_message_append_array(call, 'y', bytes.data(), bytes.size());
}

}  // namespace

Result<std::unique_ptr<ScheduleProgramClient>> ScheduleProgramClient::Connect(ClientOptions options) {
  auto located = OpenServiceBus(options.bus);
  if (!located) return located.error();
  std::unique_ptr<ScheduleProgramClient> client(new ScheduleProgramClient);
  client->bus_ = std::move(located->bus);
  client->busKind_ = located->kind;
  client->callTimeout_ = std::max(options.callTimeout, std::chrono::milliseconds(1));
  if (Status created = client->CreateInstance(); !created) return created.error();
  return client;
}

Status ScheduleProgramClient::CreateInstance() {
  sd_bus* bus = bus_.get();
  sd_bus_slot* slot = nullptr;
  int r = sd_bus_add_filter(bus, &slot, &OnMessage, this);
  if (r < 0) return sdbus::ErrnoError("cannot watch the bus", r);
  filterSlot_.reset(slot);

  sd_bus_message* rawCall = nullptr;
  r = sd_bus_message_new_method_call(bus, &rawCall, kBusName, kFactoryPath, kFactoryInterface, "CreateInstance");
  if (r < 0) return sdbus::ErrnoError("cannot build CreateInstance", r);
  sdbus::MessagePtr call(rawCall);
  sdbus::BusError error;
  sd_bus_message* rawReply = nullptr;
  r = sd_bus_call(bus, call.get(), static_cast<std::uint64_t>(callTimeout_.count()) * 1000u, error.get(), &rawReply);
  sdbus::MessagePtr reply(rawReply);
  if (r < 0) return MakeError(error.Describe(std::string("CreateInstance on the ") +
                                                 std::string(BusKindName(busKind_)) + " bus",
                                             r));
  const char* path = nullptr;
  if (sd_bus_message_read(reply.get(), "o", &path) < 0 || path == nullptr || !IsInstancePath(path)) {
    return MakeError("CreateInstance: malformed reply");
  }
  const char* sender = sd_bus_message_get_sender(reply.get());
  if (sender == nullptr) return MakeError("CreateInstance: the reply names no sender");
  owner_ = sender;
  path_ = path;
  connected_ = true;

  // Learn when the service's connection ends; the answer to the match
  // comes later and needs no waiting.
  const std::string match = "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
                            "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='" +
                            owner_ + "'";
  slot = nullptr;
  r = sd_bus_add_match_async(bus, &slot, match.c_str(), &OnOwnerChanged, nullptr, this);
  if (r < 0) return sdbus::ErrnoError("cannot watch the service's connection", r);
  ownerMatchSlot_.reset(slot);
  (void)sdbus::ProcessUntilIdle(bus);
  return Status::Ok();
}

ScheduleProgramClient::~ScheduleProgramClient() {
  *alive_ = false;
  Detach();
  if (bus_ && connected_ && !released_) {
    sd_bus_message* raw = nullptr;
    if (sd_bus_message_new_method_call(bus_.get(), &raw, owner_.c_str(), path_.c_str(), kInstanceInterface,
                                       "Release") >= 0) {
      sdbus::MessagePtr call(raw);
      (void)sd_bus_message_set_expect_reply(call.get(), 0);
      (void)sd_bus_send(bus_.get(), call.get(), nullptr);
    }
  }
  ownerMatchSlot_.reset();
  filterSlot_.reset();
  bus_.reset();  // flushes the Release and closes
}

Result<sdbus::MessagePtr> ScheduleProgramClient::NewCall(const char* method) {
  if (!IsConnected()) {
    return MakeError(std::string(method) + ": " + (released_ ? "the instance was released" : "the service is gone"));
  }
  sd_bus_message* raw = nullptr;
  const int r =
      sd_bus_message_new_method_call(bus_.get(), &raw, owner_.c_str(), path_.c_str(), kInstanceInterface, method);
  if (r < 0) return sdbus::ErrnoError(std::string("cannot build ") + method, r);
  return sdbus::MessagePtr(raw);
}

Result<sdbus::MessagePtr> ScheduleProgramClient::Call(sd_bus_message* call, const char* method) {
  sdbus::BusError error;
  sd_bus_message* raw = nullptr;
  const int r =
      sd_bus_call(bus_.get(), call, static_cast<std::uint64_t>(callTimeout_.count()) * 1000u, error.get(), &raw);
  sdbus::MessagePtr reply(raw);
  // Signals that came while the call waited sit in sd-bus's queue.
  const Status processed = sdbus::ProcessUntilIdle(bus_.get());
  if ((r < 0 && IsGone(error, r)) || !processed) MarkDisconnected();
  AfterIo();
  if (r == -ETIMEDOUT) return MakeError(std::string(method) + ": no answer in time");
  if (r < 0) return MakeError(error.Describe(method, r));
  return reply;
}

Result<sdbus::MessagePtr> ScheduleProgramClient::CallPlain(const char* method) {
  auto call = NewCall(method);
  if (!call) return call.error();
  return Call(call->get(), method);
}

Result<HrReply> ScheduleProgramClient::CallHr(const char* method) {
  auto reply = CallPlain(method);
  if (!reply) return reply.error();
  HrReply out;
  if (sd_bus_message_read(reply->get(), "i", &out.hr) < 0) return MakeError(std::string(method) + ": malformed reply");
  return out;
}

Result<HrReply> ScheduleProgramClient::CallHrWith(const char* method,
                                                 const std::function<int(sd_bus_message*)>& append) {
  auto call = NewCall(method);
  if (!call) return call.error();
  if (const int r = append(call->get()); r < 0) return sdbus::ErrnoError(std::string("cannot build ") + method, r);
  auto reply = Call(call->get(), method);
  if (!reply) return reply.error();
  HrReply out;
  if (sd_bus_message_read(reply->get(), "i", &out.hr) < 0) return MakeError(std::string(method) + ": malformed reply");
  return out;
}

Result<BoxReply> ScheduleProgramClient::ReadBoxReply(Result<sdbus::MessagePtr> reply, const char* method) {
  if (!reply) return reply.error();
  BoxReply out;
  const void* data = nullptr;
  std::size_t size = 0;
  if (sd_bus_message_read(reply->get(), "i", &out.hr) < 0 ||
      sd_bus_message_read_array(reply->get(), 'y', &data, &size) < 0) {
    return MakeError(std::string(method) + ": malformed reply");
  }
  if (size == 0) return out;
  auto box = wire::Decode(std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(data), size));
  if (!box) return MakeError(std::string(method) + ": " + box.error().message);
  out.box = std::move(*box);
  return out;
}

Result<CountReply> ScheduleProgramClient::GetScheduleProgramNum() {
  auto reply = CallPlain("GetScheduleProgramNum");
  if (!reply) return reply.error();
  CountReply out;
  if (sd_bus_message_read(reply->get(), "ii", &out.hr, &out.nNum) < 0) {
    return MakeError("GetScheduleProgramNum: malformed reply");
  }
  return out;
}

Result<HrReply> ScheduleProgramClient::DelScheduleProgram(std::string_view id) {
  const std::string text(id);
  return CallHrWith("DelScheduleProgram", [&](sd_bus_message* m) { return sd_bus_message_append(m, "s", text.c_str()); });
}

Result<HrReply> ScheduleProgramClient::Initialize() { return CallHr("Initialize"); }
Result<HrReply> ScheduleProgramClient::Uninitialize() { return CallHr("Uninitialize"); }

Result<HrReply> ScheduleProgramClient::SetWakeUp(std::int32_t nSeconds) {
  return CallHrWith("SetWakeUp", [&](sd_bus_message* m) { return sd_bus_message_append(m, "i", nSeconds); });
}

Result<HrReply> ScheduleProgramClient::StopSchedule() { return CallHr("StopSchedule"); }

Result<HrReply> ScheduleProgramClient::SetBeginAP(std::string_view path) {
  const std::string text(path);
  return CallHrWith("SetBeginAP", [&](sd_bus_message* m) { return sd_bus_message_append(m, "s", text.c_str()); });
}

Result<SleepTimeReply> ScheduleProgramClient::GetSleepTime() {
  auto reply = CallPlain("GetSleepTime");
  if (!reply) return reply.error();
  SleepTimeReply out;
  if (sd_bus_message_read(reply->get(), "iii", &out.hr, &out.lCategory, &out.lTime) < 0) {
    return MakeError("GetSleepTime: malformed reply");
  }
  return out;
}

Result<HrReply> ScheduleProgramClient::SetSleepTime(std::int32_t lCategory, std::int32_t lTimer) {
  return CallHrWith("SetSleepTime",
                    [&](sd_bus_message* m) { return sd_bus_message_append(m, "ii", lCategory, lTimer); });
}

Result<HrReply> ScheduleProgramClient::CancelSleepTime() { return CallHr("CancelSleepTime"); }
Result<HrReply> ScheduleProgramClient::InVokeCloseAP() { return CallHr("InVokeCloseAP"); }

Result<HrReply> ScheduleProgramClient::InVokeRemainTime(std::int32_t lCategory, std::int32_t lTime) {
  return CallHrWith("InVokeRemainTime",
                    [&](sd_bus_message* m) { return sd_bus_message_append(m, "ii", lCategory, lTime); });
}

Result<HrReply> ScheduleProgramClient::InitializeQuick() { return CallHr("InitializeQuick"); }
Result<HrReply> ScheduleProgramClient::UninitialQuick() { return CallHr("UninitialQuick"); }
Result<HrReply> ScheduleProgramClient::DelAnotherAPTimeConflictSp() { return CallHr("DelAnotherAPTimeConflictSp"); }

Result<BoxReply> ScheduleProgramClient::GetScheduleProgram2(std::string_view id) {
  auto call = NewCall("GetScheduleProgram2");
  if (!call) return call.error();
  const std::string text(id);
  if (const int r = sd_bus_message_append(call->get(), "s", text.c_str()); r < 0) {
    return sdbus::ErrnoError("cannot build GetScheduleProgram2", r);
  }
  return ReadBoxReply(Call(call->get(), "GetScheduleProgram2"), "GetScheduleProgram2");
}

Result<BoxReply> ScheduleProgramClient::GetScheduleProgramEx2(std::int32_t nIndex) {
  auto call = NewCall("GetScheduleProgramEx2");
  if (!call) return call.error();
  if (const int r = sd_bus_message_append(call->get(), "i", nIndex); r < 0) {
    return sdbus::ErrnoError("cannot build GetScheduleProgramEx2", r);
  }
  return ReadBoxReply(Call(call->get(), "GetScheduleProgramEx2"), "GetScheduleProgramEx2");
}

Result<ErrReply> ScheduleProgramClient::CallWithRecord(const char* method, const std::vector<std::uint8_t>& bytes,
                                                       std::optional<std::int32_t> flag) {
  auto call = NewCall(method);
  if (!call) return call.error();
  int r = sd_bus_message_append_array(call->get(), 'y', bytes.data(), bytes.size());
  if (r >= 0 && flag) r = sd_bus_message_append(call->get(), "i", *flag);
  if (r < 0) return sdbus::ErrnoError(std::string("cannot build ") + method, r);
  auto reply = Call(call->get(), method);
  if (!reply) return reply.error();
  ErrReply out;
  if (sd_bus_message_read(reply->get(), "ii", &out.hr, &out.nErr) < 0) {
    return MakeError(std::string(method) + ": malformed reply");
  }
  return out;
}

Result<ErrReply> ScheduleProgramClient::UpdateScheduleProgram2(const wire::SCHEDULE_PROGRAM_BOX& box,
                                                               bool vUpdateFile) {
  return CallWithRecord("UpdateScheduleProgram2", wire::EncodeToVector(box), vUpdateFile ? -1 : 0);
}

Result<ErrReply> ScheduleProgramClient::AddScheduleProgram2(const wire::SCHEDULE_PROGRAM_BOX& box) {
  return CallWithRecord("AddScheduleProgram2", wire::EncodeToVector(box), std::nullopt);
}

Result<HrReply> ScheduleProgramClient::ActiveSchedule2(const wire::SCHEDULE_PROGRAM_BOX& box) {
  return CallHrWith("ActiveSchedule2", [&](sd_bus_message* m) { return AppendBox(m, box); });
}

Result<ErrReply> ScheduleProgramClient::CheckAddingScheduleProgram(const wire::SCHEDULE_PROGRAM_BOX& box) {
  return CallWithRecord("CheckAddingScheduleProgram", wire::EncodeToVector(box), std::nullopt);
}

Result<ErrReply> ScheduleProgramClient::ModifyScheduleStatus(const wire::SCHEDULE_PROGRAM_BOX& box, bool vUpdateFile) {
  return CallWithRecord("ModifyScheduleStatus", wire::EncodeToVector(box), vUpdateFile ? -1 : 0);
}

Status ScheduleProgramClient::Release() {
  if (released_) return Status::Ok();
  auto reply = CallPlain("Release");
  released_ = true;
  if (!reply) return reply.error();
  return Status::Ok();
}

ScheduleProgramClient::SinkCookie ScheduleProgramClient::Advise(ScheduleProgramEvents* sink) {
  const SinkCookie cookie = nextCookie_++;
  sinks_.push_back(Sink{cookie, sink});
  return cookie;
}

void ScheduleProgramClient::Unadvise(SinkCookie cookie) {
  std::erase_if(sinks_, [cookie](const Sink& s) { return s.cookie == cookie; });
}

int ScheduleProgramClient::OnMessage(sd_bus_message* message, void* userdata, sd_bus_error*) {
  auto* self = static_cast<ScheduleProgramClient*>(userdata);
  if (sd_bus_message_is_signal(message, kLocalInterface, "Disconnected") > 0) {
    const char* path = sd_bus_message_get_path(message);
    if (path != nullptr && std::strcmp(path, kLocalPath) == 0) self->MarkDisconnected();
    return 0;
  }
  if (sd_bus_message_is_signal(message, kEventsInterface, nullptr) <= 0) return 0;
  const char* sender = sd_bus_message_get_sender(message);
  const char* path = sd_bus_message_get_path(message);
  if (sender == nullptr || path == nullptr || self->owner_ != sender || self->path_ != path) return 0;
  self->ReadEvent(message);
  return 0;
}

void ScheduleProgramClient::ReadEvent(sd_bus_message* message) {
  const char* member = sd_bus_message_get_member(message);
  if (member == nullptr) return;
  Event event{};
  if (std::strcmp(member, "OnActiveSchedule2") == 0) {
    const void* data = nullptr;
    std::size_t size = 0;
    if (sd_bus_message_read_array(message, 'y', &data, &size) < 0) return;
    auto box = wire::Decode(std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(data), size));
    if (!box) {
      platform::DebugOutput("OnActiveSchedule2: " + box.error().message);
      return;
    }
    event.kind = EventKind::kActiveSchedule;
    event.box = *box;
  } else if (std::strcmp(member, "OnStopSchedule") == 0) {
    event.kind = EventKind::kStopSchedule;
  } else if (std::strcmp(member, "OnInvokeCloseAP") == 0) {
    event.kind = EventKind::kCloseAP;
  } else if (std::strcmp(member, "OnInVokeRemainTime") == 0) {
    if (sd_bus_message_read(message, "ii", &event.first, &event.second) < 0) return;
    event.kind = EventKind::kRemainTime;
  } else {
    return;
  }
  pending_.push_back(event);
}

int ScheduleProgramClient::OnOwnerChanged(sd_bus_message* message, void* userdata, sd_bus_error*) {
  auto* self = static_cast<ScheduleProgramClient*>(userdata);
  const char* name = nullptr;
  const char* oldOwner = nullptr;
  const char* newOwner = nullptr;
  if (sd_bus_message_read(message, "sss", &name, &oldOwner, &newOwner) < 0) return 0;
  if (name != nullptr && self->owner_ == name && (newOwner == nullptr || *newOwner == '\0')) self->MarkDisconnected();
  return 0;
}

void ScheduleProgramClient::MarkDisconnected() {
  if (!connected_) return;
  connected_ = false;
  if (!disconnectQueued_) {
    disconnectQueued_ = true;
    pending_.push_back(Event{EventKind::kDisconnected});
  }
}

int ScheduleProgramClient::Fd() const { return bus_ ? sd_bus_get_fd(bus_.get()) : -1; }

short ScheduleProgramClient::Events() const {
  if (!bus_) return 0;
  return sdbus::PollEvents(bus_.get());
}

std::optional<std::chrono::milliseconds> ScheduleProgramClient::Timeout() const {
  if (!pending_.empty()) return std::chrono::milliseconds(0);
  if (!bus_) return std::nullopt;
  return sdbus::TimeUntilDue(bus_.get());
}

Status ScheduleProgramClient::Process() {
  Status status = Status::Ok();
  if (bus_) {
    status = sdbus::ProcessUntilIdle(bus_.get());
    if (!status) MarkDisconnected();
  }
  const auto alive = alive_;
  Deliver();
  if (!*alive) return status;
  Rearm();
  return status;
}

void ScheduleProgramClient::Deliver() {
  const auto alive = alive_;
  while (!pending_.empty()) {
    const Event event = pending_.front();
    pending_.pop_front();
    // A copy: a sink may advise or unadvise others, or destroy the client.
    const std::vector<Sink> sinks = sinks_;
    for (const Sink& entry : sinks) {
      const bool stillAdvised =
          std::any_of(sinks_.begin(), sinks_.end(), [&](const Sink& s) { return s.cookie == entry.cookie; });
      if (!stillAdvised) continue;
      switch (event.kind) {
        case EventKind::kActiveSchedule:
          entry.sink->OnActiveSchedule2(event.box);
          break;
        case EventKind::kStopSchedule:
          entry.sink->OnStopSchedule();
          break;
        case EventKind::kCloseAP:
          entry.sink->OnInvokeCloseAP();
          break;
        case EventKind::kRemainTime:
          entry.sink->OnInVokeRemainTime(event.first, event.second);
          break;
        case EventKind::kDisconnected:
          entry.sink->OnDisconnected();
          break;
      }
      if (!*alive) return;
    }
  }
}

void ScheduleProgramClient::AfterIo() {
  if (loop_ == nullptr) return;
  Rearm();
}

Status ScheduleProgramClient::AttachTo(platform::EventLoop& loop) {
  Detach();
  if (!bus_) return MakeError("the client's bus connection is closed");
  const auto alive = alive_;
  auto watch = loop.WatchFd(Fd(), Events(), [this, alive](short) {
    if (*alive) ProcessFromLoop();
  });
  if (!watch) return watch.error();
  loop_ = &loop;
  watch_ = *watch;
  Rearm();
  return Status::Ok();
}

void ScheduleProgramClient::ProcessFromLoop() {
  if (loop_ == nullptr) return;
  const auto alive = alive_;
  const Status status = Process();
  if (!*alive || status) return;
  Detach();
}

void ScheduleProgramClient::Detach() {
  if (loop_ == nullptr) return;
  loop_->RemoveWatch(watch_);
  loop_->KillTimers(reinterpret_cast<std::uintptr_t>(this));
  loop_ = nullptr;
  watch_ = 0;
}

void ScheduleProgramClient::Rearm() {
  if (loop_ == nullptr || !bus_) return;
  (void)loop_->ChangeWatch(watch_, Events());
  const platform::EventLoop::TimerKey key{reinterpret_cast<std::uintptr_t>(this), 1};
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

}  // namespace quorvane::automation
