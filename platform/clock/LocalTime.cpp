#include "platform/clock/LocalTime.h"

#include <algorithm>
#include <ctime>

namespace quorvane::platform {

namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool FieldsInRange(const LocalDateTime& t) {
  return t.year >= 1 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
         t.day <= DaysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 &&
         t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

std::tm ToTm(const LocalDateTime& t) {
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  return tm;
}

// Offset of local time from UTC at `t`, in seconds east.
std::optional<long> OffsetAt(std::time_t t) {
  std::tm tm{};
  if (localtime_r(&t, &tm) == nullptr) return std::nullopt;
  return tm.tm_gmtoff;
}

bool ConvertsBackTo(std::time_t t, const LocalDateTime& want) {
  std::tm tm{};
  if (localtime_r(&t, &tm) == nullptr) return false;
  return tm.tm_year == want.year - 1900 && tm.tm_mon == want.month - 1 && tm.tm_mday == want.day &&
         tm.tm_hour == want.hour && tm.tm_min == want.minute && tm.tm_sec == want.second;
}

}  // namespace

LocalDateTime ToLocal(std::int64_t secondsSinceEpoch) {
  const std::time_t t = static_cast<std::time_t>(secondsSinceEpoch);
  std::tm tm{};
  LocalDateTime local;
  if (localtime_r(&t, &tm) == nullptr) return local;
  local.year = tm.tm_year + 1900;
  local.month = tm.tm_mon + 1;
  local.day = tm.tm_mday;
  local.hour = tm.tm_hour;
  local.minute = tm.tm_min;
  local.second = tm.tm_sec;
  local.weekday = tm.tm_wday;
  local.dst = tm.tm_isdst > 0;
  return local;
}

std::optional<std::int64_t> FromLocal(const LocalDateTime& local, LocalTimeGap gap) {
  if (!FieldsInRange(local)) return std::nullopt;
  // The fields read as UTC, then corrected by each offset in force around
  // that day; every candidate that converts back to the same fields is a
  // reading of the local time. Zone transitions are more than a day apart,
  // so the offsets a day before and after cover both sides of any change.
  std::tm tm = ToTm(local);
  const std::time_t asUtc = timegm(&tm);
  constexpr std::time_t kDay = 24 * 60 * 60;
  std::optional<std::int64_t> earliest;
  std::optional<long> offsetBefore;
  for (std::time_t probe : {asUtc - kDay, asUtc, asUtc + kDay}) {
    const auto offset = OffsetAt(probe);
    if (!offset) continue;
    if (probe == asUtc - kDay) offsetBefore = offset;
    const std::time_t candidate = asUtc - *offset;
    if (ConvertsBackTo(candidate, local)) {
      earliest = earliest ? std::min<std::int64_t>(*earliest, candidate) : candidate;
    }
  }
  if (earliest) return earliest;
  if (gap == LocalTimeGap::kShiftForward && offsetBefore) return asUtc - *offsetBefore;
  return std::nullopt;
}

}  // namespace quorvane::platform
