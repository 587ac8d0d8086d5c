#pragma once
// The command line of the recording program, built from a schedule:
//
//   -startr2:"123.ts" -startr2:"<description>.ts" -limit:<s> -vinput:<n>
//   -cbr:<0|1> -vbaver:<kbit/s> -aoutfmt:<n> -abindex:<n>
//   [-splitsize:<n>000000] -folder:"<recpath>"
//
// (every piece followed by a blank). The description and the folder are
// text users type, so each is quoted the way a Windows-style command line
// is split (blanks separate, double quotes group, backslashes escape a
// quote): whatever they hold, the program reads them back as exactly one
// argument each and no option can be smuggled in.
//
// The line holds at most 1000 characters (UTF-16 units). A longer one
// first loses the end of the description, whole characters at a time;
// only when the folder alone is too long are whole arguments dropped from
// the end.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "service/schedule/ScheduleProgram.h"

namespace TESKTV::SERVICE {

inline constexpr std::size_t kMaxCommandLineChars = 1000;

struct RecordingCommandLine {
  std::string text;
  bool descriptionShortened = false;
  bool argumentsDropped = false;
};

// `value` as one quoted argument piece ("..." with \" and doubled
// backslashes where the splitting rules need them).
std::string QuoteArgument(std::string_view value);

RecordingCommandLine BuildRecordingCommandLine(const SCHEDULE::ScheduleProgram& record, std::int64_t limitSeconds);

}  // namespace TESKTV::SERVICE
