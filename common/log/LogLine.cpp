#include "common/log/LogLine.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "common/base/Utf16Cut.h"
#include "platform/base/Utf16.h"
#include "platform/clock/LocalTime.h"

namespace TESKTV::LOG {
namespace {

constexpr std::size_t kNameField = 20;

}  // namespace

std::string_view LevelWord(LogLevel level) {
  switch (level) {
    case LogLevel::Error:
      return "ERROR";
    case LogLevel::Info:
      return "INFO";
    case LogLevel::Debug:
      return "DEBUG";
  }
  return "DEBUG";
}

std::string FormatLogMessage(const char* format, va_list args) {
  // 1023 UTF-16 units take at most 3069 UTF-8 bytes, so a cut by the
  // buffer always falls beyond the cut by units.
  char buffer[4096];
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  if (n < 0) return {};
  const std::size_t length = std::min(static_cast<std::size_t>(n), sizeof buffer - 1);
  return quorvane::CutToUtf16Units(std::string(buffer, length), kMaxMessageUnits);
}

std::string FormatLogLine(quorvane::platform::WallTime time, std::string_view loggerName, LogLevel level,
                          std::string_view message) {
  using namespace std::chrono;
  const auto sinceEpoch = floor<milliseconds>(time.time_since_epoch());
  const auto seconds = floor<std::chrono::seconds>(sinceEpoch);
  const int millis = static_cast<int>((sinceEpoch - seconds).count());
  const auto local = quorvane::platform::ToLocal(seconds.count());

  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%02d/%02d/%02d %02d:%02d:%02d %3d [", local.month, local.day,
                ((local.year % 100) + 100) % 100, local.hour, local.minute, local.second, millis);

  std::string line = stamp;
  line += loggerName;
  const std::size_t nameUnits = quorvane::platform::Utf16Length(loggerName);
  if (nameUnits < kNameField) line.append(kNameField - nameUnits, ' ');
  line += "][";
  line += LevelWord(level);
  line += "] :";
  line += message;
  return line;
}

}  // namespace TESKTV::LOG
