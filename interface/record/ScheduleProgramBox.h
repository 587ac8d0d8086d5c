#pragma once
// The schedule record as it crosses the automation interface: a fixed
// 3792-byte little-endian layout. Texts are UTF-16 arrays whose content
// ends at the first zero unit; a zero unit must lie inside the array.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/Result.h"

namespace quorvane::wire {

// A local calendar time.
struct Date_Time {
  std::int32_t yy = 0;   // four-digit year
  std::int32_t mm = 0;   // 1..12
  std::int32_t dd = 0;   // 1..31
  std::int32_t hh = 0;   // 0..23
  std::int32_t min = 0;  // 0..59
  std::int32_t sec = 0;  // 0..59
  bool operator==(const Date_Time&) const = default;
};

enum tagINTERVAL : std::int32_t { ONCE = 0, DAILY = 1, WEEKLY = 2 };

inline constexpr std::size_t kLongText = 256;
inline constexpr std::size_t kMajorChText = 6;
inline constexpr std::size_t kMinorChText = 4;

// Field order and sizes are those of the wire layout, which this struct
// also has in memory (checked below); encoding never relies on that.
struct SCHEDULE_PROGRAM_BOX {
  char16_t ID[kLongText] = {};
  char16_t description[kLongText] = {};
  std::int32_t enable = 0;
  std::int32_t action = 0;
  std::int32_t eAction = 0;
  char16_t error[kLongText] = {};
  char16_t device[kLongText] = {};
  std::int32_t devicenum = 0;
  std::int32_t insource = 0;
  char16_t szMajorCh[kMajorChText] = {};
  char16_t szMinorCh[kMinorChText] = {};
  std::int32_t interval = ONCE;
  std::int32_t dayOfWeeks[7] = {};  // index 0 = Monday .. 6 = Sunday
  Date_Time dtime;
  Date_Time startdtime;
  Date_Time enddtime;  // output only: startdtime + timelen
  std::int32_t timelen = 0;
  char16_t recpath[kLongText] = {};
  char16_t recfile[kLongText] = {};
  std::int32_t splitfile = 0;
  std::int32_t splitsize = 0;
  char16_t szAPPath[kLongText] = {};
  std::int32_t lVideoInputFormat = 0;
  std::int32_t lVideoOutputFormat = 0;
  std::int32_t bIsCbr = 0;
  std::int32_t lVideoAverageBitRate = 0;
  std::int32_t lVideoMaxBitRate = 0;
  std::int32_t lVideoMinBitRate = 0;
  std::int32_t lAudioFormat = 0;
  std::int32_t lAudioPeak = 0;
  std::int32_t lAudioAverageBitRate = 0;
  std::int32_t lAudioBitRate = 0;
  std::int32_t bEnablePreview = 0;
  std::int32_t lAudioVolume = 0;
  std::int32_t nRecordStatus = 0;
};

inline constexpr std::size_t kDateTimeSize = 24;
inline constexpr std::size_t kScheduleProgramBoxSize = 3792;
static_assert(sizeof(Date_Time) == kDateTimeSize);
static_assert(sizeof(SCHEDULE_PROGRAM_BOX) == kScheduleProgramBoxSize);

using BoxBytes = std::array<std::uint8_t, kScheduleProgramBoxSize>;

BoxBytes Encode(const SCHEDULE_PROGRAM_BOX& box);
inline std::vector<std::uint8_t> EncodeToVector(const SCHEDULE_PROGRAM_BOX& box) {
  const BoxBytes bytes = Encode(box);
  return {bytes.begin(), bytes.end()};
}

// Decodes bytes from outside. Refused: a length other than 3792, a text
// array without a zero unit, and a `dtime` or `startdtime` whose members
// lie outside year >= 1900, month 1..12, day 1..31, hour 0..23, minute and
// second 0..59. `enddtime` is output only and taken as it comes.
platform::Result<SCHEDULE_PROGRAM_BOX> Decode(std::span<const std::uint8_t> bytes);

// Whether the members lie in the ranges above (not whether the day exists
// in that month or the local time exists; that is the time conversion's).
bool IsInCalendarRange(const Date_Time& time);

// Text of an array, up to its first zero unit (or the whole array).
template <std::size_t N>
std::string GetText(const char16_t (&array)[N]);
// Stores UTF-8 text, cut to N - 1 units without splitting a surrogate pair,
// and zero-fills the rest.
template <std::size_t N>
void SetText(char16_t (&array)[N], std::string_view utf8);

namespace detail {
std::string TextOf(const char16_t* array, std::size_t units);
void StoreText(char16_t* array, std::size_t units, std::string_view utf8);
}  // namespace detail

template <std::size_t N>
std::string GetText(const char16_t (&array)[N]) {
  return detail::TextOf(array, N);
}

template <std::size_t N>
void SetText(char16_t (&array)[N], std::string_view utf8) {
  detail::StoreText(array, N, utf8);
}

}  // namespace quorvane::wire
