// The window's one-shot timer slots and the after-record action timer that
// clients arm, query and cancel.

#include "service/window/CScheduleWnd.h"

namespace TESKTV::SERVICE {

std::unique_ptr<CTeskTimer>& CScheduleWnd::Slot(TimerSlot slot) {
  switch (slot) {
    case TimerSlot::kSleepAction:
      return sleepTimer_;
    case TimerSlot::kStartAP:
      return startApTimer_;
    case TimerSlot::kWakeUp:
      break;
  }
  return wakeUpTimer_;
}

CTeskTimer* CScheduleWnd::CreateTimer(std::int32_t kind, std::int64_t seconds) {
  log_.Write("[Wakeward][CScheduleWnd][CreateTimer] Entry");
  const std::optional<TimerKind> timerKind = TimerKindOf(kind);
  if (!timerKind) return nullptr;
  const TimerSlot slot = kind <= static_cast<std::int32_t>(TimerKind::kCloseAP) ? TimerSlot::kSleepAction
                         : *timerKind == TimerKind::kStartAP                  ? TimerSlot::kStartAP
                                                                              : TimerSlot::kWakeUp;
  std::unique_ptr<CTeskTimer>& holder = Slot(slot);
  holder.reset();
  if (wakeTimers_ == nullptr) {
    log_.Write("[Wakeward][CScheduleWnd][CreateTimer] no wake timers on this system");
    return nullptr;
  }
  holder = std::make_unique<CTeskTimer>(*timerKind, seconds, poster_, *wakeTimers_, loop_.clock(), log_);
  return holder.get();
}

void CScheduleWnd::SetSleepTime(std::int32_t category, std::int32_t seconds) {
  log_.Printf("[Wakeward][CScheduleWnd][SetSleepTime] Entry : lCategory = %x", static_cast<unsigned>(category));
  loop_.KillTimer(quorvane::platform::EventLoop::TimerKey{TimerOwner(), kCountdownTimerId});
  sleepTimer_.reset();
  pendingCategory_ = category;
  const auto countDown = static_cast<std::int32_t>(settings_.countDownSec);
  countdown_ = countDown;
  countdownFirst_ = seconds >= countDown;
  CreateTimer(category, countdownFirst_ ? seconds - countDown : seconds);
}

void CScheduleWnd::CancelSleepTime() {
  log_.Write("[Wakeward][CScheduleWnd][CancelSleepTime] Entry");
  loop_.KillTimer(quorvane::platform::EventLoop::TimerKey{TimerOwner(), kCountdownTimerId});
  sleepTimer_.reset();
  countdownFirst_ = false;
  countdown_ = static_cast<std::int32_t>(settings_.countDownSec);
}

SleepTimeReply CScheduleWnd::GetSleepTime() {
  log_.Printf("[Wakeward][CScheduleWnd][GetSleepTime] Entry : lCategory = %x", static_cast<unsigned>(pendingCategory_));
  SleepTimeReply reply{quorvane::platform::S_OK, 0, 0};
  if (!sleepTimer_) return reply;
  switch (sleepTimer_->Message()) {
    case TESK_SLEEP_HIBERNATE:
      reply.lCategory = 1;
      break;
    case TESK_SLEEP_LOGOFF:
      reply.lCategory = 2;
      break;
    case TESK_SLEEP_SHUTDOWN:
      reply.lCategory = 3;
      break;
    default:
      reply.lCategory = 0;
      break;
  }
  // The countdown before the action always counts as one minute here.
  reply.lTime = static_cast<std::int32_t>(sleepTimer_->RemainingSeconds() + (countdownFirst_ ? 60 : 0));
  return reply;
}

}  // namespace TESKTV::SERVICE
