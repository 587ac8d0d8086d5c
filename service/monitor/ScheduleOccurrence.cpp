#include "service/monitor/ScheduleOccurrence.h"

#include <chrono>

#include "platform/clock/LocalTime.h"

namespace TESKTV::SCHEDULE {

namespace platform = quorvane::platform;

namespace {

constexpr std::int64_t kDueNowSeconds = 30;
constexpr std::int64_t kDueSoonSeconds = 60;

// The local calendar date `days` after the date of `local`.
std::chrono::year_month_day DateAfter(const platform::LocalDateTime& local, int days) {
  using namespace std::chrono;
  const year_month_day today{year{local.year}, month{static_cast<unsigned>(local.month)},
                             day{static_cast<unsigned>(local.day)}};
  return year_month_day{sys_days{today} + std::chrono::days{days}};
}

}  // namespace

std::int64_t NextOccurrence(const ScheduleProgram& record, std::int64_t now, int graceMinutes) {
  const std::int32_t interval = record.GetInterval();
  if (interval != DAILY && interval != WEEKLY) return record.GetDTime();

  const platform::LocalDateTime start = platform::ToLocal(record.GetDTime());
  const platform::LocalDateTime today = platform::ToLocal(now);
  const int startOfDay = start.hour * 60 + start.minute;
  const int nowOfDay = today.hour * 60 + today.minute;
  const bool past = startOfDay < nowOfDay - graceMinutes;

  int offset = past ? 1 : 0;
  if (interval == WEEKLY) {
    const int todayIndex = (today.weekday + 6) % 7;
    const DayOfWeeks& days = record.GetDayOfWeeks();
    const int first = offset;
    for (int step = 0; step < 7; ++step) {
      if (days[static_cast<std::size_t>((todayIndex + first + step) % 7)] != 0) {
        offset = first + step;
        break;
      }
    }
  }

  const std::chrono::year_month_day date = DateAfter(today, offset);
  platform::LocalDateTime next;
  next.year = static_cast<int>(date.year());
  next.month = static_cast<int>(static_cast<unsigned>(date.month()));
  next.day = static_cast<int>(static_cast<unsigned>(date.day()));
  next.hour = start.hour;
  next.minute = start.minute;
  next.second = 0;
  return platform::FromLocal(next, platform::LocalTimeGap::kShiftForward).value_or(record.GetDTime());
}

ScheduleList CollectDue(const ScheduleList& list, DueMode mode, std::int64_t now) {
  ScheduleList due;
  for (const ScheduleRecord& record : list) {
    if (record->GetEnable() == 0) continue;
    const std::int64_t next = NextOccurrence(*record, now, 1);
    const bool selected = mode == DueMode::kDueNow ? next <= now && next + kDueNowSeconds > now
                                                   : now < next && next <= now + kDueSoonSeconds;
    if (selected) due.push_back(record);
  }
  return due;
}

std::int64_t NearestTime(const ScheduleList& list, std::int64_t now) {
  std::int64_t nearest = 0;
  for (const ScheduleRecord& record : list) {
    if (record->GetEnable() == 0) continue;
    const std::int64_t next = NextOccurrence(*record, now, 0);
    if (next > now && (nearest == 0 || next < nearest)) nearest = next;
  }
  return nearest;
}

}  // namespace TESKTV::SCHEDULE
