#pragma once
// What a client tells a person about a schedule error number (nErr): the
// language key of the message and its English text. Numbers 6 and 7 show
// the keys of the words that the service uses for them ("ERROR_ID_8",
// "ERROR_ID_6").

#include <cstdint>
#include <string_view>

namespace quorvane::automation {

struct ScheduleErrorText {
  std::int32_t nErr = 0;
  std::string_view word;     // the service's error word
  std::string_view key;      // language key in section "WARN"; empty for none
  std::string_view english;  // the English default text; empty for none
};

// The entry of `nErr`; an entry with empty texts for 0 and unknown numbers.
ScheduleErrorText ErrorTextOf(std::int32_t nErr);

}  // namespace quorvane::automation
