// The window's one-shot timers and the after-record action timer that
// clients arm, query and cancel; PowerManager keeps them.

#include "service/power/PowerManager.h"
#include "service/window/CScheduleWnd.h"

namespace TESKTV::SERVICE {

CTeskTimer* CScheduleWnd::CreateTimer(std::int32_t kind, std::int64_t seconds) {
  return Power().CreateTimer(kind, seconds);
}

void CScheduleWnd::SetSleepTime(std::int32_t category, std::int32_t seconds) {
  Power().SetSleepTime(category, seconds);
}

void CScheduleWnd::CancelSleepTime() { Power().CancelSleepTime(); }

SleepTimeReply CScheduleWnd::GetSleepTime() {
  const SleepTime time = Power().GetSleepTime();
  return SleepTimeReply{quorvane::platform::S_OK, time.category, time.seconds};
}

}  // namespace TESKTV::SERVICE
