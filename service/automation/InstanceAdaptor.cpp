#include "service/automation/InstanceAdaptor.h"

#include <span>

#include "interface/bus/ScheduleProgramBus.h"

namespace TESKTV::SERVICE {

namespace platform = quorvane::platform;
namespace sdbus = platform::sdbus;
namespace automation = quorvane::automation;
namespace wire = quorvane::wire;

namespace {

int ReplyHr(sd_bus_message* call, const HrReply& reply) { return sd_bus_reply_method_return(call, "i", reply.hr); }

int ReplyCount(sd_bus_message* call, const CountReply& reply) {
  return sd_bus_reply_method_return(call, "ii", reply.hr, reply.nNum);
}

int ReplyErr(sd_bus_message* call, const ErrReply& reply) {
  return sd_bus_reply_method_return(call, "ii", reply.hr, reply.nErr);
}

int ReplySleep(sd_bus_message* call, const SleepTimeReply& reply) {
  return sd_bus_reply_method_return(call, "iii", reply.hr, reply.lCategory, reply.lTime);
}

int ReplyBox(sd_bus_message* call, const BoxReply& reply) {
  sd_bus_message* raw = nullptr;
  int r = sd_bus_message_new_method_return(call, &raw);
  if (r < 0) return r;
  sdbus::MessagePtr message(raw);
  r = sd_bus_message_append(message.get(), "i", reply.hr);
  if (r < 0) return r;
  if (reply.box) {
    const wire::BoxBytes bytes = wire::Encode(*reply.box);
    r = sd_bus_message_append_array(message.get(), 'y', bytes.data(), bytes.size());
  } else {
    r = sd_bus_message_append_array(message.get(), 'y', nullptr, 0);
  }
  if (r < 0) return r;
  return sd_bus_send(nullptr, message.get(), nullptr);
}

// The record argument; nothing when it is not the wire layout.
std::optional<SCHEDULE_PROGRAM_BOX> ReadBox(sd_bus_message* call) {
  const void* data = nullptr;
  std::size_t size = 0;
  if (sd_bus_message_read_array(call, 'y', &data, &size) < 0) return std::nullopt;
  auto box = wire::Decode(std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(data), size));
  if (!box) return std::nullopt;
  return *box;
}

int BadArguments(sd_bus_error* error) {
  return sd_bus_error_set_const(error, SD_BUS_ERROR_INVALID_ARGS, "the arguments do not match the method");
}

const ErrReply kRefusedRecord{platform::E_INVALIDARG, 0};

}  // namespace

// The method handlers; userdata is the adaptor.
struct InstanceHandlers {
  static CScheduleProgramCtrl& Engine(void* userdata) { return *static_cast<InstanceAdaptor*>(userdata)->engine_; }

  static int GetScheduleProgramNum(sd_bus_message* call, void* userdata, sd_bus_error*) {
    return ReplyCount(call, Engine(userdata).GetScheduleProgramNum());
  }
  static int DelScheduleProgram(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    const char* id = nullptr;
    if (sd_bus_message_read(call, "s", &id) < 0) return BadArguments(error);
    return ReplyHr(call, Engine(userdata).DelScheduleProgram(id));
  }
  static int Initialize(sd_bus_message* call, void* userdata, sd_bus_error*) {
    return ReplyHr(call, Engine(userdata).Initialize());
  }
  static int Uninitialize(sd_bus_message* call, void* userdata, sd_bus_error*) {
    return ReplyHr(call, Engine(userdata).Uninitialize());
  }
  static int SetWakeUp(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    std::int32_t seconds = 0;
    if (sd_bus_message_read(call, "i", &seconds) < 0) return BadArguments(error);
    return ReplyHr(call, Engine(userdata).SetWakeUp(seconds));
  }
  static int StopSchedule(sd_bus_message* call, void* userdata, sd_bus_error*) {
    return ReplyHr(call, Engine(userdata).StopSchedule());
  }
  static int SetBeginAP(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    const char* path = nullptr;
    if (sd_bus_message_read(call, "s", &path) < 0) return BadArguments(error);
    return ReplyHr(call, Engine(userdata).SetBeginAP(path));
  }
  static int GetSleepTime(sd_bus_message* call, void* userdata, sd_bus_error*) {
    return ReplySleep(call, Engine(userdata).GetSleepTime());
  }
  static int SetSleepTime(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    std::int32_t category = 0;
    std::int32_t seconds = 0;
    if (sd_bus_message_read(call, "ii", &category, &seconds) < 0) return BadArguments(error);
    return ReplyHr(call, Engine(userdata).SetSleepTime(category, seconds));
  }
  static int CancelSleepTime(sd_bus_message* call, void* userdata, sd_bus_error*) {
    return ReplyHr(call, Engine(userdata).CancelSleepTime());
  }
  static int InVokeCloseAP(sd_bus_message* call, void* userdata, sd_bus_error*) {
    return ReplyHr(call, Engine(userdata).InVokeCloseAP());
  }
  static int InVokeRemainTime(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    std::int32_t category = 0;
    std::int32_t seconds = 0;
    if (sd_bus_message_read(call, "ii", &category, &seconds) < 0) return BadArguments(error);
    return ReplyHr(call, Engine(userdata).InVokeRemainTime(category, seconds));
  }
  static int InitializeQuick(sd_bus_message* call, void* userdata, sd_bus_error*) {
    return ReplyHr(call, Engine(userdata).InitializeQuick());
  }
  static int UninitialQuick(sd_bus_message* call, void* userdata, sd_bus_error*) {
    return ReplyHr(call, Engine(userdata).UninitialQuick());
  }
  static int DelAnotherAPTimeConflictSp(sd_bus_message* call, void* userdata, sd_bus_error*) {
    return ReplyHr(call, Engine(userdata).DelAnotherAPTimeConflictSp());
  }
  static int GetScheduleProgram2(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    const char* id = nullptr;
    if (sd_bus_message_read(call, "s", &id) < 0) return BadArguments(error);
    return ReplyBox(call, Engine(userdata).GetScheduleProgram2(id));
  }
  static int UpdateScheduleProgram2(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    const auto box = ReadBox(call);
    std::int32_t updateFile = 0;
    if (sd_bus_message_read(call, "i", &updateFile) < 0) return BadArguments(error);
    if (!box) return ReplyErr(call, kRefusedRecord);
    return ReplyErr(call, Engine(userdata).UpdateScheduleProgram2(*box, updateFile));
  }
  static int AddScheduleProgram2(sd_bus_message* call, void* userdata, sd_bus_error*) {
    const auto box = ReadBox(call);
    if (!box) return ReplyErr(call, kRefusedRecord);
    return ReplyErr(call, Engine(userdata).AddScheduleProgram2(*box));
  }
  static int ActiveSchedule2(sd_bus_message* call, void* userdata, sd_bus_error*) {
    const auto box = ReadBox(call);
    if (!box) return ReplyHr(call, HrReply{platform::E_INVALIDARG});
    return ReplyHr(call, Engine(userdata).ActiveSchedule2(*box));
  }
  static int GetScheduleProgramEx2(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    std::int32_t index = 0;
    if (sd_bus_message_read(call, "i", &index) < 0) return BadArguments(error);
    return ReplyBox(call, Engine(userdata).GetScheduleProgramEx2(index));
  }
  static int CheckAddingScheduleProgram(sd_bus_message* call, void* userdata, sd_bus_error*) {
    const auto box = ReadBox(call);
    if (!box) return ReplyErr(call, kRefusedRecord);
    return ReplyErr(call, Engine(userdata).CheckAddingScheduleProgram(*box));
  }
  static int ModifyScheduleStatus(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    const auto box = ReadBox(call);
    std::int32_t updateFile = 0;
    if (sd_bus_message_read(call, "i", &updateFile) < 0) return BadArguments(error);
    if (!box) return ReplyErr(call, kRefusedRecord);
    return ReplyErr(call, Engine(userdata).ModifyScheduleStatus(*box, updateFile));
  }
  static int Release(sd_bus_message* call, void* userdata, sd_bus_error*) {
    auto* self = static_cast<InstanceAdaptor*>(userdata);
    const int r = sd_bus_reply_method_return(call, "");
    // A copy: the callback may destroy this adaptor.
    if (auto onRelease = self->onRelease_) {
      onRelease();
    } else {
      self->End();
    }
    return r;
  }
};

namespace {

// Argument names show in introspection, as the interface names them.
const sd_bus_vtable kMethods[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD_WITH_NAMES("GetScheduleProgramNum", "", , "ii", SD_BUS_PARAM(hr) SD_BUS_PARAM(nNum),
                             InstanceHandlers::GetScheduleProgramNum, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("DelScheduleProgram", "s", SD_BUS_PARAM(bstrID), "i", SD_BUS_PARAM(hr),
                             InstanceHandlers::DelScheduleProgram, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("Initialize", "", , "i", SD_BUS_PARAM(hr), InstanceHandlers::Initialize,
                             SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("Uninitialize", "", , "i", SD_BUS_PARAM(hr), InstanceHandlers::Uninitialize,
                             SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("SetWakeUp", "i", SD_BUS_PARAM(nSeconds), "i", SD_BUS_PARAM(hr),
                             InstanceHandlers::SetWakeUp, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("StopSchedule", "", , "i", SD_BUS_PARAM(hr), InstanceHandlers::StopSchedule,
                             SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("SetBeginAP", "s", SD_BUS_PARAM(bstrPath), "i", SD_BUS_PARAM(hr),
                             InstanceHandlers::SetBeginAP, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("GetSleepTime", "", , "iii", SD_BUS_PARAM(hr) SD_BUS_PARAM(lCategory) SD_BUS_PARAM(lTime),
                             InstanceHandlers::GetSleepTime, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("SetSleepTime", "ii", SD_BUS_PARAM(lCategory) SD_BUS_PARAM(lTimer), "i",
                             SD_BUS_PARAM(hr), InstanceHandlers::SetSleepTime, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("CancelSleepTime", "", , "i", SD_BUS_PARAM(hr), InstanceHandlers::CancelSleepTime,
                             SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("InVokeCloseAP", "", , "i", SD_BUS_PARAM(hr), InstanceHandlers::InVokeCloseAP,
                             SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("InVokeRemainTime", "ii", SD_BUS_PARAM(lCategory) SD_BUS_PARAM(lTime), "i",
                             SD_BUS_PARAM(hr), InstanceHandlers::InVokeRemainTime, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("InitializeQuick", "", , "i", SD_BUS_PARAM(hr), InstanceHandlers::InitializeQuick,
                             SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("UninitialQuick", "", , "i", SD_BUS_PARAM(hr), InstanceHandlers::UninitialQuick,
                             SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("DelAnotherAPTimeConflictSp", "", , "i", SD_BUS_PARAM(hr),
                             InstanceHandlers::DelAnotherAPTimeConflictSp, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("GetScheduleProgram2", "s", SD_BUS_PARAM(bstrID), "iay", SD_BUS_PARAM(hr) SD_BUS_PARAM(box),
                             InstanceHandlers::GetScheduleProgram2, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("UpdateScheduleProgram2", "ayi", SD_BUS_PARAM(box) SD_BUS_PARAM(vUpdateFile), "ii",
                             SD_BUS_PARAM(hr) SD_BUS_PARAM(nErr), InstanceHandlers::UpdateScheduleProgram2,
                             SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("AddScheduleProgram2", "ay", SD_BUS_PARAM(box), "ii", SD_BUS_PARAM(hr) SD_BUS_PARAM(nErr),
                             InstanceHandlers::AddScheduleProgram2, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("ActiveSchedule2", "ay", SD_BUS_PARAM(box), "i", SD_BUS_PARAM(hr),
                             InstanceHandlers::ActiveSchedule2, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("GetScheduleProgramEx2", "i", SD_BUS_PARAM(nIndex), "iay",
                             SD_BUS_PARAM(hr) SD_BUS_PARAM(box), InstanceHandlers::GetScheduleProgramEx2,
                             SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("CheckAddingScheduleProgram", "ay", SD_BUS_PARAM(box), "ii",
                             SD_BUS_PARAM(hr) SD_BUS_PARAM(nErr), InstanceHandlers::CheckAddingScheduleProgram,
                             SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("ModifyScheduleStatus", "ayi", SD_BUS_PARAM(box) SD_BUS_PARAM(vUpdateFile), "ii",
                             SD_BUS_PARAM(hr) SD_BUS_PARAM(nErr), InstanceHandlers::ModifyScheduleStatus,
                             SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Release", "", "", InstanceHandlers::Release, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable kEvents[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_SIGNAL_WITH_NAMES("OnActiveSchedule2", "ay", SD_BUS_PARAM(box), 0),
    SD_BUS_SIGNAL("OnStopSchedule", "", 0),
    SD_BUS_SIGNAL("OnInvokeCloseAP", "", 0),
    SD_BUS_SIGNAL_WITH_NAMES("OnInVokeRemainTime", "ii", SD_BUS_PARAM(lCategory) SD_BUS_PARAM(lTime), 0),
    SD_BUS_VTABLE_END,
};

}  // namespace

platform::Result<std::unique_ptr<InstanceAdaptor>> InstanceAdaptor::Serve(std::shared_ptr<BusConnection> connection,
                                                                          std::string path, std::string owner,
                                                                          std::shared_ptr<CScheduleProgramCtrl> engine,
                                                                          std::function<void()> onRelease) {
  std::unique_ptr<InstanceAdaptor> adaptor(new InstanceAdaptor);
  adaptor->connection_ = std::move(connection);
  adaptor->path_ = std::move(path);
  adaptor->owner_ = std::move(owner);
  adaptor->engine_ = std::move(engine);
  adaptor->onRelease_ = std::move(onRelease);
  sd_bus_slot* slot = nullptr;
  int r = sd_bus_add_object_vtable(adaptor->connection_->get(), &slot, adaptor->path_.c_str(),
                                   automation::kInstanceInterface, kMethods, adaptor.get());
  if (r < 0) return sdbus::ErrnoError("cannot serve " + adaptor->path_, r);
  adaptor->methodsSlot_.reset(slot);
  slot = nullptr;
  r = sd_bus_add_object_vtable(adaptor->connection_->get(), &slot, adaptor->path_.c_str(),
                               automation::kEventsInterface, kEvents, adaptor.get());
  if (r < 0) return sdbus::ErrnoError("cannot serve " + adaptor->path_, r);
  adaptor->eventsSlot_.reset(slot);
  adaptor->engine_->SetEventSink(adaptor.get());
  return adaptor;
}

InstanceAdaptor::~InstanceAdaptor() {
  End();
  eventsSlot_.reset();
  methodsSlot_.reset();
}

void InstanceAdaptor::End() {
  ended_ = true;
  if (engine_) engine_->SetEventSink(nullptr);
}

void InstanceAdaptor::Emit(const char* member, const std::function<int(sd_bus_message*)>& append) {
  if (ended_ || !connection_->bus) return;
  sd_bus_message* raw = nullptr;
  int r = sd_bus_message_new_signal(connection_->get(), &raw, path_.c_str(), automation::kEventsInterface, member);
  if (r < 0) return;
  sdbus::MessagePtr signal(raw);
  // Only this instance's client hears its events.
  r = sd_bus_message_set_destination(signal.get(), owner_.c_str());
  if (r >= 0 && append) r = append(signal.get());
  if (r >= 0) r = sd_bus_send(connection_->get(), signal.get(), nullptr);
  if (r >= 0) connection_->Wrote();
}

void InstanceAdaptor::OnActiveSchedule2(const SCHEDULE_PROGRAM_BOX& box) {
  const wire::BoxBytes bytes = wire::Encode(box);
  Emit("OnActiveSchedule2",
       [&](sd_bus_message* m) { return sd_bus_message_append_array(m, 'y', bytes.data(), bytes.size()); });
}

void InstanceAdaptor::OnStopSchedule() { Emit("OnStopSchedule", nullptr); }

void InstanceAdaptor::OnInvokeCloseAP() { Emit("OnInvokeCloseAP", nullptr); }

void InstanceAdaptor::OnInVokeRemainTime(std::int32_t lCategory, std::int32_t lTime) {
  Emit("OnInVokeRemainTime", [&](sd_bus_message* m) { return sd_bus_message_append(m, "ii", lCategory, lTime); });
}

}  // namespace TESKTV::SERVICE
