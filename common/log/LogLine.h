#pragma once
// The text of one log line:
//   MM/DD/YY HH:MM:SS mmm [name padded to 20][LEVEL] :message

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/clock/Clock.h"

namespace TESKTV::LOG {

enum class LogLevel { Error = 1, Info = 2, Debug = 4 };

std::string_view LevelWord(LogLevel level);

// Messages are cut to this many UTF-16 units.
inline constexpr std::size_t kMaxMessageUnits = 1023;

// printf-style formatting into a bounded buffer, cut to kMaxMessageUnits.
std::string FormatLogMessage(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

// The whole line without its line end; the time is shown in local time.
std::string FormatLogLine(quorvane::platform::WallTime time, std::string_view loggerName, LogLevel level,
                          std::string_view message);

}  // namespace TESKTV::LOG
