#include "interface/client/ScheduleErrorText.h"

#include <array>

namespace quorvane::automation {

namespace {

constexpr std::array<ScheduleErrorText, 8> kTexts{{
    {1, "ERROR_ID_1", "WARN_ERROR_ID_1", "Schedule ID doesn't exist."},
    {2, "ERROR_ID_2", "WARN_ERROR_ID_2", "Recording time error."},
    {3, "ERROR_ID_3", "WARN_ERROR_ID_3", "Recording time exceeds one day."},
    {4, "ERROR_ID_4", "WARN_ERROR_ID_4", "Incorrect channel."},
    {5, "ERROR_ID_5", "WARN_ERROR_ID_5",
     "WARNING: The time setting is not valid! Please change the time setting."},
    {6, "ERROR_ID_8", "WARN_ERROR_ID_8", "Please select at least one day for recording schedule."},
    {7, "ERROR_ID_6", "WARN_ERROR_ID_6", "This schedule setting conflicts with another existing schedule."},
    {8, "ERROR_ID_7", "", ""},
}};

}  // namespace

ScheduleErrorText ErrorTextOf(std::int32_t nErr) {
  for (const ScheduleErrorText& text : kTexts) {
    if (text.nErr == nErr) return text;
  }
  return ScheduleErrorText{nErr, {}, {}, {}};
}

}  // namespace quorvane::automation
