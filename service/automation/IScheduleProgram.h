#pragma once
// The automation interface as the service's engine sees it: one object per
// client instance, with the methods of IScheduleProgram in their order.
// Records come decoded; results are plain values that the bus adaptor
// turns into replies. The service window holds the "AP" and "Quick"
// controls through this interface and raises their events through it.

#include <cstdint>
#include <string_view>

#include "interface/bus/ScheduleProgramBus.h"
#include "interface/record/ScheduleProgramBox.h"

namespace TESKTV::SERVICE {

using quorvane::automation::BoxReply;
using quorvane::automation::CountReply;
using quorvane::automation::ErrReply;
using quorvane::automation::HrReply;
using quorvane::automation::SleepTimeReply;
using quorvane::wire::SCHEDULE_PROGRAM_BOX;

class IScheduleProgram {
 public:
  virtual ~IScheduleProgram() = default;

  virtual CountReply GetScheduleProgramNum() = 0;
  virtual HrReply DelScheduleProgram(std::string_view id) = 0;
  virtual HrReply Initialize() = 0;
  virtual HrReply Uninitialize() = 0;
  virtual HrReply SetWakeUp(std::int32_t nSeconds) = 0;
  virtual HrReply StopSchedule() = 0;
  virtual HrReply SetBeginAP(std::string_view path) = 0;
  virtual SleepTimeReply GetSleepTime() = 0;
  virtual HrReply SetSleepTime(std::int32_t lCategory, std::int32_t lTimer) = 0;
  virtual HrReply CancelSleepTime() = 0;
  virtual HrReply InVokeCloseAP() = 0;
  virtual HrReply InVokeRemainTime(std::int32_t lCategory, std::int32_t lTime) = 0;
  virtual HrReply InitializeQuick() = 0;
  virtual HrReply UninitialQuick() = 0;
  virtual HrReply DelAnotherAPTimeConflictSp() = 0;
  virtual BoxReply GetScheduleProgram2(std::string_view id) = 0;
  virtual ErrReply UpdateScheduleProgram2(const SCHEDULE_PROGRAM_BOX& box, std::int32_t vUpdateFile) = 0;
  virtual ErrReply AddScheduleProgram2(const SCHEDULE_PROGRAM_BOX& box) = 0;
  virtual HrReply ActiveSchedule2(const SCHEDULE_PROGRAM_BOX& box) = 0;
  virtual BoxReply GetScheduleProgramEx2(std::int32_t nIndex) = 0;
  virtual ErrReply CheckAddingScheduleProgram(const SCHEDULE_PROGRAM_BOX& box) = 0;
  virtual ErrReply ModifyScheduleStatus(const SCHEDULE_PROGRAM_BOX& box, std::int32_t vUpdateFile) = 0;
};

// Where an instance's events go: its client's connection. Unset once the
// client has gone; the events then reach nobody.
class ScheduleProgramEventSink {
 public:
  virtual ~ScheduleProgramEventSink() = default;
  virtual void OnActiveSchedule2(const SCHEDULE_PROGRAM_BOX& box) = 0;
  virtual void OnStopSchedule() = 0;
  virtual void OnInvokeCloseAP() = 0;
  virtual void OnInVokeRemainTime(std::int32_t lCategory, std::int32_t lTime) = 0;
};

}  // namespace TESKTV::SERVICE
