// The window's handling of the monitor's and the timers' messages: the
// recording sequence (switch the box on, tune it, start the recording
// program) and the after-record power actions. They are not carried out
// by this build of the window: each message is logged and left.

#include "service/window/CScheduleWnd.h"

namespace TESKTV::SERVICE {

void CScheduleWnd::OnActiveAP(const std::shared_ptr<const SCHEDULE::ScheduleProgram>& record) {
  log_.Printf("[Wakeward][CScheduleWnd][WindowProc] TESK_ACTIVE_AP: %s (not carried out)",
              record ? record->GetID().c_str() : "");
}

void CScheduleWnd::OnActiveSchedule(const std::shared_ptr<const SCHEDULE::ScheduleProgram>& record) {
  log_.Write("[Wakeward][CScheduleWnd][WindowProc] TESK_ACTIVE_SCHEDULE: event");
  if (!record) return;
  log_.Printf("[Wakeward][CScheduleWnd][WindowProc] TESK_ACTIVE_SCHEDULE: %s (not carried out)",
              record->GetID().c_str());
}

void CScheduleWnd::OnTimerMessage(TimerKind kind) {
  if (kind == TimerKind::kWakeUp) {
    // The PC is awake; the timer has done its work.
    wakeUpTimer_.reset();
    return;
  }
  log_.Printf("[Wakeward][CScheduleWnd][WindowProc] %s (not carried out)",
              std::string(ServiceMessageName(TimerMessageOf(kind))).c_str());
}

void CScheduleWnd::OnTimer(std::uint64_t id) {
  log_.Write("[Wakeward][CScheduleWnd][OnTimer] Entry");
  loop_.KillTimer(quorvane::platform::EventLoop::TimerKey{TimerOwner(), id});
}

}  // namespace TESKTV::SERVICE
