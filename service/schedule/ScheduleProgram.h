#pragma once
// One recording schedule in the service's memory. Field names are those of
// the wire record (SCHEDULE_PROGRAM_BOX), which every client uses. Times are
// points in time (seconds since 1970-01-01 UTC); they are built from and
// shown as local calendar fields under the process time zone.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "interface/record/ScheduleProgramBox.h"
#include "platform/base/Result.h"
#include "platform/clock/Clock.h"
#include "platform/clock/LocalTime.h"
#include "platform/xml/XmlNode.h"

namespace TESKTV::SCHEDULE {

// The ID of the single wake-up-only record.
inline constexpr std::string_view kWakeUpOnlyId = "SI_WAKEUP_ONLY";
// `action` of a wake-up schedule.
inline constexpr std::int32_t kWakeUpAction = 2;

// Error words a record carries by itself (validation adds "ERROR_ID_n").
inline constexpr std::string_view kErrorNotReady = "Not Ready!!";
inline constexpr std::string_view kErrorNullNode = "NULL NODE";
inline constexpr std::string_view kErrorNoId = "ERROR ID";

using quorvane::wire::DAILY;
using quorvane::wire::ONCE;
using quorvane::wire::WEEKLY;

// Week-day flags, index 0 = Monday .. 6 = Sunday.
using DayOfWeeks = std::array<std::int32_t, 7>;

// Capture and encoder settings: stored and handed back; some of them go
// on the recording program's command line.
struct StreamSettings {
  std::int32_t lVideoInputFormat = 0;
  std::int32_t lVideoOutputFormat = 0;
  std::int32_t bIsCbr = 1;
  std::int32_t lVideoAverageBitRate = 8000;
  std::int32_t lVideoMaxBitRate = 8000;
  std::int32_t lVideoMinBitRate = 8000;
  std::int32_t lAudioFormat = 1;
  std::int32_t lAudioPeak = 0;
  std::int32_t lAudioAverageBitRate = 0;
  std::int32_t lAudioBitRate = 32;
  std::int32_t bEnablePreview = 1;
  std::int32_t lAudioVolume = 31;
  bool operator==(const StreamSettings&) const = default;
};

// "SI_" followed by the local time of `clock` as hour, minute, day,
// four-digit year, month, second. Two IDs made within one second are equal.
std::string GenerateScheduleId(const quorvane::platform::Clock& clock);

// The point in time of wire calendar fields (seconds included): nothing
// when a member lies outside year >= 1900, month 1..12, day 1..31, hour
// 0..23, minute and second 0..59, when the day does not exist in its month,
// or when the local time is skipped by a daylight-saving change. A local
// time that occurs twice gives the earlier point.
std::optional<std::int64_t> PointInTimeOf(const quorvane::wire::Date_Time& local);
quorvane::wire::Date_Time DateTimeOf(std::int64_t pointInTime);

class ScheduleProgram {
 public:
  // A new record: error "Not Ready!!", empty texts, zero times and the
  // default settings. An empty `id` is replaced by a generated ID.
  explicit ScheduleProgram(std::string_view id = {},
                           const quorvane::platform::Clock& clock = quorvane::platform::RealClock());
  virtual ~ScheduleProgram() = default;
  ScheduleProgram(const ScheduleProgram&) = default;
  ScheduleProgram& operator=(const ScheduleProgram&) = default;
  ScheduleProgram(ScheduleProgram&&) = default;
  ScheduleProgram& operator=(ScheduleProgram&&) = default;

  virtual const char* GetClassName() const { return "ScheduleProgram"; }

  // A record from one child element of the schedule file's root. A null
  // node gives a record with error "NULL NODE"; a node without a non-empty
  // `id` attribute gives one with error "ERROR ID" and nothing else read.
  // A node whose date and time do not form a valid local time is refused.
  static quorvane::platform::Result<ScheduleProgram> FromNode(const quorvane::platform::xml::Node& node);
  // Writes the record as a `schedule` element at the end of `schedules`.
  void AppendToNode(quorvane::platform::xml::Node& schedules) const;

  // Every field from a client's record, `error`, `recfile`, `splitfile` and
  // `startdtime` included; `enddtime` is ignored. Refused when `dtime` or
  // `startdtime` is not a valid local time.
  static quorvane::platform::Result<ScheduleProgram> FromBox(const quorvane::wire::SCHEDULE_PROGRAM_BOX& box);
  // Texts cut to their arrays; times as local calendar fields; `enddtime`
  // is `startdtime` + `timelen` minutes.
  quorvane::wire::SCHEDULE_PROGRAM_BOX ToBox() const;

  // The copy that goes into the list: same ID and schedule, `timelen` 1 for
  // a wake-up schedule, `splitfile` recomputed; `error` stays
  // "Not Ready!!", `startdtime` zero and `recfile` empty.
  ScheduleProgram Clone() const;
  // Overwrites every field with those of `other`.
  void CopyFrom(const ScheduleProgram& other);

  const std::string& GetID() const { return ID_; }
  const std::string& GetDescription() const { return description_; }
  std::int32_t GetEnable() const { return enable_; }
  std::int32_t GetAction() const { return action_; }
  std::int32_t GetEAction() const { return eAction_; }
  const std::string& GetError() const { return error_; }
  const std::string& GetDevice() const { return device_; }
  std::int32_t GetDeviceNum() const { return devicenum_; }
  std::int32_t GetInSource() const { return insource_; }
  const std::string& GetMajorCh() const { return szMajorCh_; }
  const std::string& GetMinorCh() const { return szMinorCh_; }
  std::int32_t GetInterval() const { return interval_; }
  const DayOfWeeks& GetDayOfWeeks() const { return dayOfWeeks_; }
  std::int64_t GetDTime() const { return dtime_; }
  std::int64_t GetStartDTime() const { return startdtime_; }
  std::int32_t GetTimeLen() const { return timelen_; }
  // `startdtime` + `timelen` minutes.
  std::int64_t GetEndTime() const { return startdtime_ + static_cast<std::int64_t>(timelen_) * 60; }
  const std::string& GetRecPath() const { return recpath_; }
  const std::string& GetRecFile() const { return recfile_; }
  std::int32_t GetSplitFile() const { return splitfile_; }
  std::int32_t GetSplitSize() const { return splitsize_; }
  const std::string& GetAPPath() const { return szAPPath_; }
  const StreamSettings& GetStream() const { return stream_; }
  std::int32_t GetRecordStatus() const { return nRecordStatus_; }

  void SetDescription(std::string description) { description_ = std::move(description); }
  void SetDevice(std::string device, std::int32_t devicenum, std::int32_t insource);
  void SetChannel(std::string majorCh, std::string minorCh);
  // Record folder, file name and piece size; `splitfile` = splitsize > 0.
  void SetRecord(std::string recpath, std::string recfile, std::int32_t splitsize);
  void SetSchedule(std::int32_t interval, std::int64_t dtime, std::int32_t timelen);
  // As above from local calendar fields; refused, changing nothing, when
  // they do not form a valid local time (see PointInTimeOf).
  quorvane::platform::Status SetSchedule(std::int32_t interval, const quorvane::wire::Date_Time& start,
                                         std::int32_t timelen);
  void SetAPPath(std::string path) { szAPPath_ = std::move(path); }

  void SetEnable(std::int32_t enable) { enable_ = enable; }
  void SetAction(std::int32_t action) { action_ = action; }
  void SetEAction(std::int32_t eAction) { eAction_ = eAction; }
  void SetError(std::string error) { error_ = std::move(error); }
  void SetDayOfWeeks(const DayOfWeeks& days) { dayOfWeeks_ = days; }
  void SetTimeLen(std::int32_t timelen) { timelen_ = timelen; }
  void SetStartDTime(std::int64_t startdtime) { startdtime_ = startdtime; }
  void SetSplitFile(std::int32_t splitfile) { splitfile_ = splitfile; }
  void SetStream(const StreamSettings& stream) { stream_ = stream; }
  void SetRecordStatus(std::int32_t status) { nRecordStatus_ = status; }

  bool operator==(const ScheduleProgram&) const = default;

 private:
  struct NoId {};
  // Fields as a schedule-file node starts them, before its elements.
  explicit ScheduleProgram(NoId);

  std::string ID_;
  std::string description_;
  std::int32_t enable_ = 0;
  std::int32_t action_ = 0;
  std::int32_t eAction_ = 5;
  std::string error_;
  std::string device_;
  std::int32_t devicenum_ = 0;
  std::int32_t insource_ = 0;
  std::string szMajorCh_;
  std::string szMinorCh_;
  std::int32_t interval_ = ONCE;
  DayOfWeeks dayOfWeeks_{};
  std::int64_t dtime_ = 0;
  std::int64_t startdtime_ = 0;
  std::int32_t timelen_ = 0;
  std::string recpath_;
  std::string recfile_;
  std::int32_t splitfile_ = 0;
  std::int32_t splitsize_ = 0;
  std::string szAPPath_;
  StreamSettings stream_;
  std::int32_t nRecordStatus_ = 0;
};

}  // namespace TESKTV::SCHEDULE
