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

// The local calendar time of a point in time. A point the C library
// cannot convert gives the default (1970-01-01 00:00:00, no DST).
LocalDateTime ToLocal(std::int64_t secondsSinceEpoch);

// What FromLocal does with a local time that the clocks skip when DST
// begins (02:30 on the last Sunday of March in Europe/Berlin).
enum class LocalTimeGap {
  kReject,        // gives nothing
  kShiftForward,  // read with the offset in force before the gap: 02:30 -> 03:30 DST
};

// The point in time of a local calendar time. Fields out of range (month
// 13, 31 February, hour 24, second 60, year outside 1..9999) give nothing
// rather than being normalised. A time that does not exist (skipped when
// DST begins) gives nothing, or the shifted time (see LocalTimeGap); a
// time that exists twice (when DST ends) gives the earlier one, still in
// daylight-saving time. weekday and dst are ignored.
std::optional<std::int64_t> FromLocal(const LocalDateTime& local, LocalTimeGap gap = LocalTimeGap::kReject);

}  // namespace quorvane::platform
