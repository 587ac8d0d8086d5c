#pragma once
// When a schedule next starts, and which schedules are due: what the
// monitor thread looks at on each pass.

#include <cstdint>
#include <memory>
#include <vector>

#include "service/schedule/ScheduleProgram.h"

namespace TESKTV::SCHEDULE {

// A record as the monitor shares it: never changed once in a list, so the
// monitor thread and posted messages can hold it while the list changes.
using ScheduleRecord = std::shared_ptr<const ScheduleProgram>;
using ScheduleList = std::vector<ScheduleRecord>;

// The next start of a schedule at or after today's: a ONCE schedule (and
// one of an unknown interval) starts at its `dtime`; a DAILY one today,
// or tomorrow once its time of day lies more than `graceMinutes` before
// now's; a WEEKLY one on the first of its week days from there on (the
// same day a week later when only today is set and today's time is past).
// The result is the local date found at the start's hour and minute,
// second 0; a time skipped by a daylight-saving change is read on the
// clock as it was before the change (02:30 becomes 03:30).
std::int64_t NextOccurrence(const ScheduleProgram& record, std::int64_t now, int graceMinutes);

enum class DueMode {
  kDueNow,   // started within the last 30 seconds
  kDueSoon,  // starts within the next 60 seconds
};

// The enabled records of `list`, in list order, whose next start (grace 1
// minute) makes them due in `mode`.
ScheduleList CollectDue(const ScheduleList& list, DueMode mode, std::int64_t now);

// The earliest next start (grace 0) strictly after now among the enabled
// records; 0 when there is none.
std::int64_t NearestTime(const ScheduleList& list, std::int64_t now);

}  // namespace TESKTV::SCHEDULE
