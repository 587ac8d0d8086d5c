#pragma once
// Reading wakeward-ctl's arguments into a schedule record and the other
// values its commands take. Each reader refuses bad input with a message.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "interface/record/ScheduleProgramBox.h"
#include "platform/base/Result.h"

namespace quorvane::ctl {

struct Channel {
  std::string major;  // at most 5 characters
  std::string minor;  // at most 3 characters; empty without one
};
// "MAJOR" or "MAJOR.MINOR", digits only.
platform::Result<Channel> ParseChannel(std::string_view text);

// "YYYY-MM-DD HH:MM[:SS]" (or with 'T' between date and time).
platform::Result<wire::Date_Time> ParseStart(std::string_view text);
std::string FormatDateTime(const wire::Date_Time& time);

// "mon,wed,sun" (also "1..7" with 1 = Monday, and "all") as the seven
// flags, index 0 = Monday.
platform::Result<std::array<std::int32_t, 7>> ParseDays(std::string_view text);
std::string FormatDays(const std::int32_t (&days)[7]);

// An after-record action or sleep category by name or number 0..5:
// standby, hibernate, logoff, shutdown, close-ap, none.
platform::Result<std::int32_t> ParseAction(std::string_view text);
std::string_view ActionName(std::int32_t action);

std::string_view IntervalName(std::int32_t interval);

platform::Result<std::int32_t> ParseInt(std::string_view text, std::string_view what);

// The schedule options of add and update; each is applied when given.
struct ScheduleOptions {
  std::optional<std::string> id;
  std::optional<std::string> description;
  std::optional<Channel> channel;
  std::optional<wire::Date_Time> start;
  std::optional<std::int32_t> minutes;
  std::optional<std::int32_t> interval;
  std::optional<std::array<std::int32_t, 7>> days;
  std::optional<std::string> device;
  std::optional<std::int32_t> input;
  std::optional<std::string> folder;
  std::optional<std::int32_t> afterAction;
  std::optional<std::int32_t> enable;
};

// Reads "--description TEXT", "--channel 12.1", "--start ...", "--minutes N",
// "--once", "--daily", "--weekly DAYS", "--device NAME", "--input N",
// "--folder PATH", "--after ACTION", "--id ID", "--enable 0|1".
platform::Result<ScheduleOptions> ParseScheduleOptions(const std::vector<std::string>& arguments);

// A new schedule's record as the scheduler makes one: enabled, 30 minutes
// from now... with the options applied (times as given).
wire::SCHEDULE_PROGRAM_BOX NewScheduleBox();
// Applies the options to `box`; `enddtime` follows start and length.
platform::Status ApplyScheduleOptions(const ScheduleOptions& options, wire::SCHEDULE_PROGRAM_BOX& box);

// "SI_" + the local time now as hour, minute, day, year, month, second.
std::string NewScheduleId();

}  // namespace quorvane::ctl
