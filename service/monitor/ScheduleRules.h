#pragma once
// Validation of a schedule and the overlap tests behind the conflict
// check. Times of day are local (hour * 60 + minute, seconds ignored);
// "now" is passed in, in seconds since 1970-01-01 UTC.

#include <cstdint>

#include "service/schedule/ScheduleProgram.h"

namespace TESKTV::SCHEDULE {

inline constexpr std::int32_t kMinutesPerDay = 1440;

// A recording window: a start point and a length in minutes.
struct TimeWindow {
  std::int64_t start = 0;
  std::int32_t length = 0;
};

inline TimeWindow WindowOf(const ScheduleProgram& record) { return {record.GetDTime(), record.GetTimeLen()}; }

// Local hour * 60 + minute of a point in time.
std::int32_t TimeOfDay(std::int64_t pointInTime);
// The week-day index (0 = Monday .. 6 = Sunday) of a point in local time.
int WeekDayIndex(std::int64_t pointInTime);

// Checks the record against the rules in order and, on the first that
// fails, stores its word in `error` and returns false; on success `error`
// is left as it is. A schedule that is not WEEKLY gets exactly the week day
// of its start as its day.
bool Validate(ScheduleProgram& record, std::int64_t now);

// Whether two windows meet when both recur every day. A window wraps when
// it runs past midnight; its end is read off the local clock, so a window
// over a daylight-saving change ends where the clock shows it. Windows that
// only touch do not overlap.
bool todOverlap(const TimeWindow& p, const TimeWindow& q);
// Whether the half-open spans [start, start + length) overlap.
bool spanOverlap(const TimeWindow& p, const TimeWindow& q);
// Whether two windows that recur on the given week days meet, a window
// that wraps reaching into the following day.
bool weekOverlap(const TimeWindow& p, const DayOfWeeks& pDays, const TimeWindow& q, const DayOfWeeks& qDays);

// Whether the new schedule conflicts with the existing one (times only;
// device and enable are the list's business). An existing ONCE schedule
// whose start has passed never conflicts.
bool CheckConflict(const ScheduleProgram& existing, const ScheduleProgram& candidate, std::int64_t now);

}  // namespace TESKTV::SCHEDULE
