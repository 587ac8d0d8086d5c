#include "service/automation/CScheduleProgramCtrl.h"

namespace TESKTV::SERVICE {

namespace platform = quorvane::platform;
using platform::E_FAIL;
using platform::S_OK;
using quorvane::automation::BoolArgument;

namespace {

constexpr platform::HRESULT Hr(bool ok) { return ok ? S_OK : E_FAIL; }

}  // namespace

CScheduleProgramCtrl::CScheduleProgramCtrl(WindowAccess window) : window_(std::move(window)) {}

CountReply CScheduleProgramCtrl::GetScheduleProgramNum() {
  CScheduleWnd* window = window_();
  if (window == nullptr) return {};
  return {S_OK, window->GetScheduleProgramNum()};
}

HrReply CScheduleProgramCtrl::DelScheduleProgram(std::string_view id) {
  CScheduleWnd* window = window_();
  if (window == nullptr) return {};
  return {Hr(window->RemoveScheduleProgram(id))};
}

HrReply CScheduleProgramCtrl::Initialize() {
  CScheduleWnd* window = window_();
  if (window == nullptr) return {};
  window->SetCtrlInterface(ControlRole::kAP, shared_from_this());
  return {S_OK};
}

HrReply CScheduleProgramCtrl::Uninitialize() {
  CScheduleWnd* window = window_();
  if (window == nullptr) return {};
  window->ReleaseCtrlInterface(ControlRole::kAP);
  return {S_OK};
}

HrReply CScheduleProgramCtrl::SetWakeUp(std::int32_t nSeconds) {
  CScheduleWnd* window = window_();
  if (window == nullptr) return {};
  return {Hr(window->SetWakeUpSchedule(nSeconds))};
}

HrReply CScheduleProgramCtrl::StopSchedule() {
  if (sink_ != nullptr) sink_->OnStopSchedule();
  return {S_OK};
}

HrReply CScheduleProgramCtrl::SetBeginAP(std::string_view path) {
  CScheduleWnd* window = window_();
  if (window == nullptr) return {};
  window->SetBeginAP(std::string(path));
  return {S_OK};
}

SleepTimeReply CScheduleProgramCtrl::GetSleepTime() {
  CScheduleWnd* window = window_();
  if (window == nullptr) return {};
  return window->GetSleepTime();
}

HrReply CScheduleProgramCtrl::SetSleepTime(std::int32_t lCategory, std::int32_t lTimer) {
  CScheduleWnd* window = window_();
  if (window == nullptr) return {};
  window->SetSleepTime(lCategory, lTimer);
  return {S_OK};
}

HrReply CScheduleProgramCtrl::CancelSleepTime() {
  CScheduleWnd* window = window_();
  if (window == nullptr) return {};
  window->CancelSleepTime();
  return {S_OK};
}

HrReply CScheduleProgramCtrl::InVokeCloseAP() {
  if (sink_ != nullptr) sink_->OnInvokeCloseAP();
  return {S_OK};
}

HrReply CScheduleProgramCtrl::InVokeRemainTime(std::int32_t lCategory, std::int32_t lTime) {
  if (sink_ != nullptr) sink_->OnInVokeRemainTime(lCategory, lTime);
  return {S_OK};
}

HrReply CScheduleProgramCtrl::InitializeQuick() {
  CScheduleWnd* window = window_();
  if (window == nullptr) return {};
  window->SetCtrlInterface(ControlRole::kQuick, shared_from_this());
  return {S_OK};
}

HrReply CScheduleProgramCtrl::UninitialQuick() {
  CScheduleWnd* window = window_();
  if (window == nullptr) return {};
  window->ReleaseCtrlInterface(ControlRole::kQuick);
  return {S_OK};
}

HrReply CScheduleProgramCtrl::DelAnotherAPTimeConflictSp() {
  CScheduleWnd* window = window_();
  if (window == nullptr) return {};
  return {Hr(window->DelAnotherAPTimeConflictSp())};
}

BoxReply CScheduleProgramCtrl::GetScheduleProgram2(std::string_view id) {
  CScheduleWnd* window = window_();
  if (window == nullptr) return {};
  SCHEDULE_PROGRAM_BOX box;
  if (!window->GetScheduleProgram2(id, &box)) return {};
  return {S_OK, box};
}

ErrReply CScheduleProgramCtrl::UpdateScheduleProgram2(const SCHEDULE_PROGRAM_BOX& box, std::int32_t vUpdateFile) {
  CScheduleWnd* window = window_();
  if (window == nullptr) return {};
  ErrReply reply;
  reply.hr = Hr(window->UpdateScheduleProgram2(&box, BoolArgument(vUpdateFile), &reply.nErr));
  return reply;
}

ErrReply CScheduleProgramCtrl::AddScheduleProgram2(const SCHEDULE_PROGRAM_BOX& box) {
  CScheduleWnd* window = window_();
  if (window == nullptr) return {};
  ErrReply reply;
  reply.hr = Hr(window->AddScheduleProgram2(&box, &reply.nErr));
  return reply;
}

HrReply CScheduleProgramCtrl::ActiveSchedule2(const SCHEDULE_PROGRAM_BOX& box) {
  if (sink_ != nullptr) sink_->OnActiveSchedule2(box);
  return {S_OK};
}

BoxReply CScheduleProgramCtrl::GetScheduleProgramEx2(std::int32_t nIndex) {
  CScheduleWnd* window = window_();
  if (window == nullptr) return {};
  SCHEDULE_PROGRAM_BOX box;
  if (!window->GetScheduleProgram2(nIndex, &box)) return {};
  return {S_OK, box};
}

ErrReply CScheduleProgramCtrl::CheckAddingScheduleProgram(const SCHEDULE_PROGRAM_BOX& box) {
  CScheduleWnd* window = window_();
  if (window == nullptr) return {};
  ErrReply reply;
  reply.hr = Hr(window->CheckAddScheduleProgram(&box, &reply.nErr));
  return reply;
}

ErrReply CScheduleProgramCtrl::ModifyScheduleStatus(const SCHEDULE_PROGRAM_BOX& box, std::int32_t vUpdateFile) {
  CScheduleWnd* window = window_();
  if (window == nullptr) return {};
  ErrReply reply;
  reply.hr = Hr(window->ModifyScheduleStatus(&box, BoolArgument(vUpdateFile), &reply.nErr));
  return reply;
}

}  // namespace TESKTV::SERVICE
