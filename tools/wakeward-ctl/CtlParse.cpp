#include "tools/wakeward-ctl/CtlParse.h"

#include <ctime>

#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace quorvane::ctl {

using platform::MakeError;
using platform::Result;

namespace {

constexpr std::array<std::string_view, 7> kDayNames = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};
constexpr std::array<std::string_view, 6> kActionNames = {"standby", "hibernate", "logoff",
                                                          "shutdown", "close-ap", "none"};

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

Result<std::int32_t> ParseInt(std::string_view text, std::string_view what) {
  std::int32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) {
    return MakeError(std::string(what) + ": \"" + std::string(text) + "\" is not a number");
  }
  return value;
}

Result<Channel> ParseChannel(std::string_view text) {
  const std::size_t dot = text.find('.');
  Channel channel;
  channel.major = std::string(text.substr(0, dot));
  if (dot != std::string_view::npos) channel.minor = std::string(text.substr(dot + 1));
  if (!AllDigits(channel.major) || channel.major.size() > 5 ||
      (dot != std::string_view::npos && (!AllDigits(channel.minor) || channel.minor.size() > 3))) {
    return MakeError("channel: \"" + std::string(text) + "\" is not MAJOR or MAJOR.MINOR (up to 5 and 3 digits)");
  }
  return channel;
}

Result<wire::Date_Time> ParseStart(std::string_view text) {
  wire::Date_Time t;
  char separator = 0;
  int consumed = 0;
  const std::string copy(text);
  const int fields = std::sscanf(copy.c_str(), "%4d-%2d-%2d%c%2d:%2d%n", &t.yy, &t.mm, &t.dd, &separator, &t.hh, &t.min,
                                 &consumed);
  bool ok = fields == 6 && (separator == ' ' || separator == 'T');
  if (ok && static_cast<std::size_t>(consumed) < copy.size()) {
    int more = 0;
    ok = std::sscanf(copy.c_str() + consumed, ":%2d%n", &t.sec, &more) == 1 &&
         static_cast<std::size_t>(consumed + more) == copy.size();
  }
  if (!ok || !wire::IsInCalendarRange(t)) {
    return MakeError("start: \"" + copy + "\" is not \"YYYY-MM-DD HH:MM[:SS]\"");
  }
  return t;
}

std::string FormatDateTime(const wire::Date_Time& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.yy, t.mm, t.dd, t.hh, t.min, t.sec);
  return text;
}

Result<std::array<std::int32_t, 7>> ParseDays(std::string_view text) {
  std::array<std::int32_t, 7> days{};
  if (Lower(text) == "all") {
    days.fill(1);
    return days;
  }
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = text.find(',', start);
    const std::string item = Lower(text.substr(start, comma == std::string_view::npos ? text.npos : comma - start));
    int index = -1;
    for (std::size_t i = 0; i < kDayNames.size(); ++i) {
      if (item == kDayNames[i] || (item.size() == 1 && item[0] == static_cast<char>('1' + i))) index = static_cast<int>(i);
    }
    if (index < 0) return MakeError("days: \"" + item + "\" is not a day (mon .. sun or 1 .. 7)");
    days[static_cast<std::size_t>(index)] = 1;
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return days;
}

std::string FormatDays(const std::int32_t (&days)[7]) {
  std::string text;
  for (std::size_t i = 0; i < 7; ++i) {
    if (days[i] == 0) continue;
    if (!text.empty()) text += ",";
    text += kDayNames[i];
  }
  return text;
}

Result<std::int32_t> ParseAction(std::string_view text) {
  const std::string name = Lower(text);
  for (std::size_t i = 0; i < kActionNames.size(); ++i) {
    if (name == kActionNames[i]) return static_cast<std::int32_t>(i);
  }
  auto number = ParseInt(text, "action");
  if (!number || *number < 0 || *number > 5) {
    return MakeError("action: \"" + std::string(text) +
                     "\" is not standby, hibernate, logoff, shutdown, close-ap, none or 0 .. 5");
  }
  return *number;
}

std::string_view ActionName(std::int32_t action) {
  if (action >= 0 && action < static_cast<std::int32_t>(kActionNames.size())) {
    return kActionNames[static_cast<std::size_t>(action)];
  }
  return "unknown";
}

std::string_view IntervalName(std::int32_t interval) {
  switch (interval) {
    case wire::ONCE:
      return "once";
    case wire::DAILY:
      return "daily";
    case wire::WEEKLY:
      return "weekly";
    default:
      return "unknown";
  }
}

Result<ScheduleOptions> ParseScheduleOptions(const std::vector<std::string>& arguments) {
  ScheduleOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& name = arguments[i];
    if (name == "--once") {
      options.interval = wire::ONCE;
      continue;
    }
    if (name == "--daily") {
      options.interval = wire::DAILY;
      continue;
    }
    if (i + 1 >= arguments.size()) return MakeError(name + ": a value is missing");
    const std::string& value = arguments[++i];
    if (name == "--description") {
      options.description = value;
    } else if (name == "--id") {
      options.id = value;
    } else if (name == "--channel") {
      auto channel = ParseChannel(value);
      if (!channel) return channel.error();
      options.channel = *channel;
    } else if (name == "--start") {
      auto start = ParseStart(value);
      if (!start) return start.error();
      options.start = *start;
    } else if (name == "--minutes") {
      auto minutes = ParseInt(value, "minutes");
      if (!minutes) return minutes.error();
      options.minutes = *minutes;
    } else if (name == "--weekly") {
      auto days = ParseDays(value);
      if (!days) return days.error();
      options.interval = wire::WEEKLY;
      options.days = *days;
    } else if (name == "--device") {
      options.device = value;
    } else if (name == "--input") {
      auto input = ParseInt(value, "input");
      if (!input) return input.error();
      options.input = *input;
    } else if (name == "--folder") {
      options.folder = value;
    } else if (name == "--after") {
      auto action = ParseAction(value);
      if (!action) return action.error();
      options.afterAction = *action;
    } else if (name == "--enable") {
      auto enable = ParseInt(value, "enable");
      if (!enable) return enable.error();
      options.enable = *enable;
    } else {
      return MakeError("unknown option " + name);
    }
  }
  return options;
}

wire::SCHEDULE_PROGRAM_BOX NewScheduleBox() {
  wire::SCHEDULE_PROGRAM_BOX box;
  box.enable = 1;
  box.eAction = 5;
  box.interval = wire::ONCE;
  box.timelen = 30;
  box.bIsCbr = 1;
  // The recording program needs a video bit rate; the scheduler's default.
  box.lVideoAverageBitRate = 8000;
  box.lVideoMaxBitRate = 8000;
  box.lVideoMinBitRate = 8000;
  box.lAudioFormat = 1;
  box.lAudioBitRate = 64;
  box.bEnablePreview = 1;
  box.lAudioVolume = 30;
  return box;
}

namespace {

// The calendar fields `minutes` after `start`, in local time.
wire::Date_Time AddMinutes(const wire::Date_Time& start, std::int32_t minutes) {
  std::tm fields{};
  fields.tm_year = start.yy - 1900;
  fields.tm_mon = start.mm - 1;
  fields.tm_mday = start.dd;
  fields.tm_hour = start.hh;
  fields.tm_min = start.min + minutes;
  fields.tm_sec = start.sec;
  fields.tm_isdst = -1;
  const std::time_t point = std::mktime(&fields);
  std::tm local{};
  if (point == static_cast<std::time_t>(-1) || localtime_r(&point, &local) == nullptr) return start;
  return wire::Date_Time{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                         local.tm_sec};
}

}  // namespace

platform::Status ApplyScheduleOptions(const ScheduleOptions& options, wire::SCHEDULE_PROGRAM_BOX& box) {
  if (options.id) wire::SetText(box.ID, *options.id);
  if (options.description) wire::SetText(box.description, *options.description);
  if (options.channel) {
    wire::SetText(box.szMajorCh, options.channel->major);
    wire::SetText(box.szMinorCh, options.channel->minor);
  }
  if (options.start) {
    box.dtime = *options.start;
    box.startdtime = *options.start;
  }
  if (options.minutes) box.timelen = *options.minutes;
  if (options.interval) box.interval = *options.interval;
  if (options.days) {
    for (std::size_t i = 0; i < 7; ++i) box.dayOfWeeks[i] = (*options.days)[i];
  }
  if (options.device) wire::SetText(box.device, *options.device);
  if (options.input) box.insource = *options.input;
  if (options.folder) wire::SetText(box.recpath, *options.folder);
  if (options.afterAction) box.eAction = *options.afterAction;
  if (options.enable) box.enable = *options.enable;
  if (!wire::IsInCalendarRange(box.dtime)) return MakeError("a start (--start) is needed");
  box.enddtime = AddMinutes(box.startdtime, box.timelen);
  return platform::Status::Ok();
}

std::string NewScheduleId() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "SI_%H%M%d%Y%m%S", &local);
  return text;
}

}  // namespace quorvane::ctl
