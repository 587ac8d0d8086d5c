#pragma once
// What a client of the automation interface hears from its instance: the
// events of _IScheduleProgramEvents, and that the service has gone.

#include <cstdint>

#include "interface/record/ScheduleProgramBox.h"

namespace quorvane::automation {

class ScheduleProgramEvents {
 public:
  virtual ~ScheduleProgramEvents() = default;
  // A schedule starts recording.
  virtual void OnActiveSchedule2(const wire::SCHEDULE_PROGRAM_BOX& /*box*/) {}
  // The service is stopping.
  virtual void OnStopSchedule() {}
  // The capture application is asked to close.
  virtual void OnInvokeCloseAP() {}
  // The countdown before an after-record action, once a second.
  virtual void OnInVokeRemainTime(std::int32_t /*lCategory*/, std::int32_t /*lTime*/) {}
  // The instance is gone: the service ended, or this client's connection
  // dropped. Calls fail from now on.
  virtual void OnDisconnected() {}
};

}  // namespace quorvane::automation
