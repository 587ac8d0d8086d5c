#include "service/monitor/ScheduleRules.h"

#include <algorithm>

#include "platform/clock/LocalTime.h"
#include "service/monitor/ScheduleErrors.h"

namespace TESKTV::SCHEDULE {

namespace platform = quorvane::platform;

namespace {

// A window within one day: start and end as times of day.
struct DayWindow {
  std::int32_t start = 0;
  std::int32_t length = 0;
  std::int32_t end = 0;  // time of day at which it ends
  bool wraps = false;    // runs past midnight
};

DayWindow DayWindowOf(const TimeWindow& window) {
  DayWindow day;
  day.start = TimeOfDay(window.start);
  day.length = window.length;
  day.end = TimeOfDay(window.start + static_cast<std::int64_t>(window.length) * 60);
  day.wraps = day.start + day.length > kMinutesPerDay;
  return day;
}

// The part of a window on its own day: up to midnight when it wraps.
DayWindow SameDayPart(const DayWindow& window) {
  if (!window.wraps) return window;
  const std::int32_t length = kMinutesPerDay - window.start;
  return {window.start, length, (window.start + length) % kMinutesPerDay, false};
}

// The part of a wrapping window on the following day: from midnight to its end.
DayWindow SpillPart(const DayWindow& window) { return {0, window.end, window.end, false}; }

bool DayOverlap(const DayWindow& p, const DayWindow& q) {
  if (p.start < q.start) {
    // Q starts after P has ended on P's day: only Q's spill into the next
    // day can reach P (on the day after).
    if (q.start >= p.start + p.length && !p.wraps) {
      if (!q.wraps) return false;
      return q.end > p.start;
    }
    return true;
  }
  if (p.start == q.start) return true;
  if (p.start < q.start + q.length || q.wraps) return true;
  if (!p.wraps) return false;
  return p.end > q.start;
}

}  // namespace

std::int32_t TimeOfDay(std::int64_t pointInTime) {
  const platform::LocalDateTime local = platform::ToLocal(pointInTime);
  return local.hour * 60 + local.minute;
}

int WeekDayIndex(std::int64_t pointInTime) { return (platform::ToLocal(pointInTime).weekday + 6) % 7; }

bool Validate(ScheduleProgram& record, std::int64_t now) {
  auto fail = [&record](ScheduleError error) {
    record.SetError(std::string(ErrorWord(error)));
    return false;
  };
  if (record.GetID().empty()) return fail(ScheduleError::kNoRecord);
  if (record.GetAction() != kWakeUpAction && record.GetTimeLen() <= 0) return fail(ScheduleError::kBadLength);
  if (record.GetTimeLen() > kMinutesPerDay) return fail(ScheduleError::kTooLong);
  if (record.GetInterval() == ONCE && now > record.GetDTime()) return fail(ScheduleError::kStartPassed);
  if (record.GetInterval() != WEEKLY) {
    DayOfWeeks days{};
    days[static_cast<std::size_t>(WeekDayIndex(record.GetDTime()))] = 1;
    record.SetDayOfWeeks(days);
    return true;
  }
  const DayOfWeeks& days = record.GetDayOfWeeks();
  if (std::none_of(days.begin(), days.end(), [](std::int32_t day) { return day != 0; })) {
    return fail(ScheduleError::kNoWeekDay);
  }
  return true;
}

bool todOverlap(const TimeWindow& p, const TimeWindow& q) { return DayOverlap(DayWindowOf(p), DayWindowOf(q)); }

bool spanOverlap(const TimeWindow& p, const TimeWindow& q) {
  const std::int64_t pEnd = p.start + static_cast<std::int64_t>(p.length) * 60;
  const std::int64_t qEnd = q.start + static_cast<std::int64_t>(q.length) * 60;
  return p.start < qEnd && q.start < pEnd;
}

bool weekOverlap(const TimeWindow& p, const DayOfWeeks& pDays, const TimeWindow& q, const DayOfWeeks& qDays) {
  const DayWindow pDay = DayWindowOf(p);
  const DayWindow qDay = DayWindowOf(q);
  for (std::size_t k = 0; k < 7; ++k) {
    const std::size_t next = (k + 1) % 7;
    const bool pOn = pDays[k] != 0;
    const bool qOn = qDays[k] != 0;
    if (pOn && qOn) {
      if (DayOverlap(SameDayPart(pDay), SameDayPart(qDay))) return true;
    } else if (pOn) {
      if (qDays[next] != 0 && pDay.wraps && DayOverlap(SpillPart(pDay), SameDayPart(qDay))) return true;
    } else if (qOn) {
      if (pDays[next] != 0 && qDay.wraps && DayOverlap(SameDayPart(pDay), SpillPart(qDay))) return true;
    }
  }
  return false;
}

bool CheckConflict(const ScheduleProgram& existing, const ScheduleProgram& candidate, std::int64_t now) {
  if (existing.GetInterval() == ONCE && existing.GetDTime() < now) return false;
  const TimeWindow e = WindowOf(existing);
  const TimeWindow n = WindowOf(candidate);
  if (!todOverlap(e, n)) return false;
  if (existing.GetInterval() == DAILY || candidate.GetInterval() == DAILY) return true;
  if (existing.GetInterval() == ONCE && candidate.GetInterval() == ONCE) {
    return spanOverlap(e, n) && weekOverlap(e, existing.GetDayOfWeeks(), n, candidate.GetDayOfWeeks());
  }
  return weekOverlap(e, existing.GetDayOfWeeks(), n, candidate.GetDayOfWeeks());
}

}  // namespace TESKTV::SCHEDULE
