#pragma once
// The error words of the schedule operations and the numbers (nErr) that
// clients receive for them, in one table. The numbers follow the order in
// which clients came to know the errors, not the words: "ERROR_ID_8" is 6,
// "ERROR_ID_6" is 7 and "ERROR_ID_7" is 8.

#include <array>
#include <cstdint>
#include <string_view>

namespace TESKTV::SCHEDULE {

enum class ScheduleError {
  kNone,
  kNoRecord,      // record missing, or its ID is empty
  kBadLength,     // a recording schedule of no length
  kTooLong,       // longer than a day
  kBadChannel,    // known to clients; the service never raises it
  kStartPassed,   // a ONCE schedule whose start lies in the past
  kNoWeekDay,     // a WEEKLY schedule without any week day
  kConflict,      // overlaps an existing schedule of the same device
  kReserved,      // known to clients; the service never raises it
};

struct ScheduleErrorInfo {
  ScheduleError error;
  std::int32_t nErr;
  std::string_view word;
};

inline constexpr std::array<ScheduleErrorInfo, 9> kScheduleErrors{{
    {ScheduleError::kNone, 0, ""},
    {ScheduleError::kNoRecord, 1, "ERROR_ID_1"},
    {ScheduleError::kBadLength, 2, "ERROR_ID_2"},
    {ScheduleError::kTooLong, 3, "ERROR_ID_3"},
    {ScheduleError::kBadChannel, 4, "ERROR_ID_4"},
    {ScheduleError::kStartPassed, 5, "ERROR_ID_5"},
    {ScheduleError::kNoWeekDay, 6, "ERROR_ID_8"},
    {ScheduleError::kConflict, 7, "ERROR_ID_6"},
    {ScheduleError::kReserved, 8, "ERROR_ID_7"},
}};

constexpr const ScheduleErrorInfo& ErrorInfo(ScheduleError error) {
  for (const ScheduleErrorInfo& info : kScheduleErrors) {
    if (info.error == error) return info;
  }
  return kScheduleErrors[0];
}

constexpr std::string_view ErrorWord(ScheduleError error) { return ErrorInfo(error).word; }

// nErr of an error word; 0 for the empty word and for every word not in the
// table ("Not Ready!!", "ERROR ID", ...).
constexpr std::int32_t ErrorNumber(std::string_view word) {
  if (word.empty()) return 0;
  for (const ScheduleErrorInfo& info : kScheduleErrors) {
    if (info.word == word) return info.nErr;
  }
  return 0;
}

// The word of an nErr; empty for 0 and numbers outside the table.
constexpr std::string_view ErrorWordOfNumber(std::int32_t nErr) {
  for (const ScheduleErrorInfo& info : kScheduleErrors) {
    if (info.nErr == nErr) return info.word;
  }
  return {};
}

}  // namespace TESKTV::SCHEDULE
