#pragma once
// Conversion between points in time (seconds since 1970-01-01 UTC) and the
// local calendar under the process time zone (TZ), with the daylight-saving
// state.

#include <cstdint>
#include <optional>

namespace quorvane::platform {

struct LocalDateTime {
  int year = 1970;  // full year
  int month = 1;    // 1..12
  int day = 1;      // 1..31
  int hour = 0;     // 0..23
  int minute = 0;   // 0..59
  int second = 0;   // 0..59
  int weekday = 4;  // 0 = Sunday .. 6 = Saturday (output only)
  bool dst = false; // daylight-saving time in effect (output only)
};

LocalDateTime ToLocal(std::int64_t secondsSinceEpoch);

// The point in time of a local calendar time. Fields out of range (month
// 13, 31 February, hour 24) give nothing rather than being normalised. A
// time that does not exist (skipped when DST begins) gives nothing; a time
// that exists twice (when DST ends) gives the earlier one.
std::optional<std::int64_t> FromLocal(const LocalDateTime& local);

}  // namespace quorvane::platform
