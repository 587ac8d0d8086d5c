#pragma once
// One client's instance of ScheduleProgramCtrl: each method forwards to the
// service window and answers with the HRESULT and the out values. Methods
// fail with E_FAIL while the window does not exist. The event methods fire
// to this instance's own client.

#include <functional>
#include <memory>

#include "service/automation/IScheduleProgram.h"
#include "service/window/CScheduleWnd.h"

namespace TESKTV::SERVICE {

class CScheduleProgramCtrl final : public IScheduleProgram,
                                   public std::enable_shared_from_this<CScheduleProgramCtrl> {
 public:
  // The service window, or null while there is none.
  using WindowAccess = std::function<CScheduleWnd*()>;

  explicit CScheduleProgramCtrl(WindowAccess window);

  // Where events go; null once the client has gone.
  void SetEventSink(ScheduleProgramEventSink* sink) { sink_ = sink; }

  CountReply GetScheduleProgramNum() override;
  HrReply DelScheduleProgram(std::string_view id) override;
  HrReply Initialize() override;
  HrReply Uninitialize() override;
  HrReply SetWakeUp(std::int32_t nSeconds) override;
  HrReply StopSchedule() override;
  HrReply SetBeginAP(std::string_view path) override;
  SleepTimeReply GetSleepTime() override;
  HrReply SetSleepTime(std::int32_t lCategory, std::int32_t lTimer) override;
  HrReply CancelSleepTime() override;
  HrReply InVokeCloseAP() override;
  HrReply InVokeRemainTime(std::int32_t lCategory, std::int32_t lTime) override;
  HrReply InitializeQuick() override;
  HrReply UninitialQuick() override;
  HrReply DelAnotherAPTimeConflictSp() override;
  BoxReply GetScheduleProgram2(std::string_view id) override;
  ErrReply UpdateScheduleProgram2(const SCHEDULE_PROGRAM_BOX& box, std::int32_t vUpdateFile) override;
  ErrReply AddScheduleProgram2(const SCHEDULE_PROGRAM_BOX& box) override;
  HrReply ActiveSchedule2(const SCHEDULE_PROGRAM_BOX& box) override;
  BoxReply GetScheduleProgramEx2(std::int32_t nIndex) override;
  ErrReply CheckAddingScheduleProgram(const SCHEDULE_PROGRAM_BOX& box) override;
  ErrReply ModifyScheduleStatus(const SCHEDULE_PROGRAM_BOX& box, std::int32_t vUpdateFile) override;

 private:
  WindowAccess window_;
  ScheduleProgramEventSink* sink_ = nullptr;
};

}  // namespace TESKTV::SERVICE
