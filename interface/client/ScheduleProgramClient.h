#pragma once
// The client proxy of the automation interface: one instance of the
// service's ScheduleProgramCtrl, reached over its own bus connection.
//
// Each method waits for the service's answer and returns it: the HRESULT
// and the out values (an error only when the call did not get through).
// Events are handed to the advised sinks in the order they were advised,
// always from Process(), never from inside a call: signals that arrive
// while a call waits are kept and delivered at the next Process(). After
// each call the connection is processed until idle, so nothing waits
// unseen in sd-bus's queue; Timeout() is then zero while events wait.
//
// It runs inside any event loop: poll Fd() for Events() with at most
// Timeout(), then call Process(); or AttachTo a platform EventLoop. Not
// for use from several threads.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "interface/bus/ScheduleProgramBus.h"
#include "interface/client/ScheduleProgramEvents.h"
#include "interface/client/ServiceBusLocator.h"
#include "interface/record/ScheduleProgramBox.h"
#include "platform/base/Result.h"
#include "platform/loop/EventLoop.h"
#include "platform/winmsg/SdBus.h"

namespace quorvane::automation {

struct ClientOptions {
  BusChoice bus = BusChoice::kAuto;
  // How long a call waits for its answer.
  std::chrono::milliseconds callTimeout{25000};
};

class ScheduleProgramClient {
 public:
  using SinkCookie = std::uint32_t;

  // Connects and creates an instance (the bus starts the service when it
  // is registered for activation and not running).
  static platform::Result<std::unique_ptr<ScheduleProgramClient>> Connect(ClientOptions options = {});
  // Ends the instance without waiting for the answer.
  ~ScheduleProgramClient();
  ScheduleProgramClient(const ScheduleProgramClient&) = delete;
  ScheduleProgramClient& operator=(const ScheduleProgramClient&) = delete;

  BusKind busKind() const { return busKind_; }
  // The service's unique connection name and this instance's object path.
  const std::string& serviceOwner() const { return owner_; }
  const std::string& instancePath() const { return path_; }
  // False once the service or the connection has gone, or after Release.
  bool IsConnected() const { return connected_ && !released_; }

  // IScheduleProgram.
  platform::Result<CountReply> GetScheduleProgramNum();
  platform::Result<HrReply> DelScheduleProgram(std::string_view id);
  platform::Result<HrReply> Initialize();
  platform::Result<HrReply> Uninitialize();
  platform::Result<HrReply> SetWakeUp(std::int32_t nSeconds);
  platform::Result<HrReply> StopSchedule();
  platform::Result<HrReply> SetBeginAP(std::string_view path);
  platform::Result<SleepTimeReply> GetSleepTime();
  platform::Result<HrReply> SetSleepTime(std::int32_t lCategory, std::int32_t lTimer);
  platform::Result<HrReply> CancelSleepTime();
  platform::Result<HrReply> InVokeCloseAP();
  platform::Result<HrReply> InVokeRemainTime(std::int32_t lCategory, std::int32_t lTime);
  platform::Result<HrReply> InitializeQuick();
  platform::Result<HrReply> UninitialQuick();
  platform::Result<HrReply> DelAnotherAPTimeConflictSp();
  platform::Result<BoxReply> GetScheduleProgram2(std::string_view id);
  platform::Result<ErrReply> UpdateScheduleProgram2(const wire::SCHEDULE_PROGRAM_BOX& box, bool vUpdateFile);
  platform::Result<ErrReply> AddScheduleProgram2(const wire::SCHEDULE_PROGRAM_BOX& box);
  platform::Result<HrReply> ActiveSchedule2(const wire::SCHEDULE_PROGRAM_BOX& box);
  platform::Result<BoxReply> GetScheduleProgramEx2(std::int32_t nIndex);
  platform::Result<ErrReply> CheckAddingScheduleProgram(const wire::SCHEDULE_PROGRAM_BOX& box);
  platform::Result<ErrReply> ModifyScheduleStatus(const wire::SCHEDULE_PROGRAM_BOX& box, bool vUpdateFile);
  // Ends the instance and waits until the service has done so.
  platform::Status Release();

  // The same calls with raw arguments, for callers that pass bytes
  // through (a record of any length) or BOOLs as the service reads them.
  platform::Result<ErrReply> CallWithRecord(const char* method, const std::vector<std::uint8_t>& bytes,
                                            std::optional<std::int32_t> flag);

  // Sinks get the events in the order they were advised. A sink must stay
  // alive until it is unadvised (or the client is gone).
  SinkCookie Advise(ScheduleProgramEvents* sink);
  void Unadvise(SinkCookie cookie);

  // For a host loop.
  int Fd() const;
  short Events() const;
  std::optional<std::chrono::milliseconds> Timeout() const;
  // Reads and writes what the connection has, then delivers the events
  // that came. An error means the connection is gone.
  platform::Status Process();

  // Lets `loop` drive the client; the loop must outlive the attachment.
  platform::Status AttachTo(platform::EventLoop& loop);
  void Detach();

 private:
  enum class EventKind { kActiveSchedule, kStopSchedule, kCloseAP, kRemainTime, kDisconnected };
  struct Event {
    EventKind kind;
    wire::SCHEDULE_PROGRAM_BOX box{};
    std::int32_t first = 0;
    std::int32_t second = 0;
  };
  struct Sink {
    SinkCookie cookie;
    ScheduleProgramEvents* sink;
  };

  ScheduleProgramClient() = default;
  platform::Status CreateInstance();
  platform::Result<platform::sdbus::MessagePtr> NewCall(const char* method);
  platform::Result<platform::sdbus::MessagePtr> Call(sd_bus_message* call, const char* method);
  platform::Result<platform::sdbus::MessagePtr> CallPlain(const char* method);
  platform::Result<HrReply> CallHr(const char* method);
  platform::Result<HrReply> CallHrWith(const char* method, const std::function<int(sd_bus_message*)>& append);
  platform::Result<BoxReply> ReadBoxReply(platform::Result<platform::sdbus::MessagePtr> reply, const char* method);

  static int OnMessage(sd_bus_message* message, void* userdata, sd_bus_error* error);
  static int OnOwnerChanged(sd_bus_message* message, void* userdata, sd_bus_error* error);
  void ReadEvent(sd_bus_message* message);
  void MarkDisconnected();
  void AfterIo();
  void Deliver();
  void ProcessFromLoop();
  void Rearm();

  platform::sdbus::BusPtr bus_;
  BusKind busKind_ = BusKind::kSession;
  std::chrono::milliseconds callTimeout_{25000};
  std::string owner_;
  std::string path_;
  platform::sdbus::SlotPtr filterSlot_;
  platform::sdbus::SlotPtr ownerMatchSlot_;
  bool connected_ = false;
  bool released_ = false;
  bool disconnectQueued_ = false;

  std::deque<Event> pending_;
  std::vector<Sink> sinks_;
  SinkCookie nextCookie_ = 1;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

  platform::EventLoop* loop_ = nullptr;
  platform::EventLoop::WatchId watch_ = 0;
};

}  // namespace quorvane::automation
