#include "service/schedule/ScheduleProgram.h"

#include <chrono>
#include <cstdio>

namespace TESKTV::SCHEDULE {

namespace platform = quorvane::platform;
namespace wire = quorvane::wire;

namespace {

std::string Describe(const wire::Date_Time& t) {
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.yy, t.mm, t.dd, t.hh, t.min, t.sec);
  return text;
}

}  // namespace

std::string GenerateScheduleId(const platform::Clock& clock) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(clock.Wall().time_since_epoch()).count();
  const platform::LocalDateTime local = platform::ToLocal(seconds);
  char text[40];
  std::snprintf(text, sizeof text, "SI_%02d%02d%02d%04d%02d%02d", local.hour, local.minute, local.day, local.year,
                local.month, local.second);
  return text;
}

std::optional<std::int64_t> PointInTimeOf(const wire::Date_Time& t) {
  if (!wire::IsInCalendarRange(t)) return std::nullopt;
  platform::LocalDateTime local;
  local.year = t.yy;
  local.month = t.mm;
  local.day = t.dd;
  local.hour = t.hh;
  local.minute = t.min;
  local.second = t.sec;
  return platform::FromLocal(local, platform::LocalTimeGap::kReject);
}

wire::Date_Time DateTimeOf(std::int64_t pointInTime) {
  const platform::LocalDateTime local = platform::ToLocal(pointInTime);
  return {local.year, local.month, local.day, local.hour, local.minute, local.second};
}

ScheduleProgram::ScheduleProgram(std::string_view id, const platform::Clock& clock)
    : ID_(id.empty() ? GenerateScheduleId(clock) : std::string(id)), error_(kErrorNotReady) {}

ScheduleProgram::ScheduleProgram(NoId) {}

platform::Result<ScheduleProgram> ScheduleProgram::FromBox(const wire::SCHEDULE_PROGRAM_BOX& box) {
  const std::optional<std::int64_t> dtime = PointInTimeOf(box.dtime);
  if (!dtime) return platform::MakeError("dtime " + Describe(box.dtime) + " is not a valid local time");
  const std::optional<std::int64_t> startdtime = PointInTimeOf(box.startdtime);
  if (!startdtime) {
    return platform::MakeError("startdtime " + Describe(box.startdtime) + " is not a valid local time");
  }

  ScheduleProgram record{NoId{}};
  record.ID_ = wire::GetText(box.ID);
  record.description_ = wire::GetText(box.description);
  record.enable_ = box.enable;
  record.action_ = box.action;
  record.eAction_ = box.eAction;
  record.error_ = wire::GetText(box.error);
  record.device_ = wire::GetText(box.device);
  record.devicenum_ = box.devicenum;
  record.insource_ = box.insource;
  record.szMajorCh_ = wire::GetText(box.szMajorCh);
  record.szMinorCh_ = wire::GetText(box.szMinorCh);
  record.interval_ = box.interval;
  for (std::size_t i = 0; i < record.dayOfWeeks_.size(); ++i) record.dayOfWeeks_[i] = box.dayOfWeeks[i];
  record.dtime_ = *dtime;
  record.startdtime_ = *startdtime;
  record.timelen_ = box.timelen;
  record.recpath_ = wire::GetText(box.recpath);
  record.recfile_ = wire::GetText(box.recfile);
  record.splitfile_ = box.splitfile;
  record.splitsize_ = box.splitsize;
  record.szAPPath_ = wire::GetText(box.szAPPath);
  record.stream_ = {box.lVideoInputFormat, box.lVideoOutputFormat, box.bIsCbr,      box.lVideoAverageBitRate,
                    box.lVideoMaxBitRate,  box.lVideoMinBitRate,   box.lAudioFormat, box.lAudioPeak,
                    box.lAudioAverageBitRate, box.lAudioBitRate,   box.bEnablePreview, box.lAudioVolume};
  record.nRecordStatus_ = box.nRecordStatus;
  return record;
}

wire::SCHEDULE_PROGRAM_BOX ScheduleProgram::ToBox() const {
  wire::SCHEDULE_PROGRAM_BOX box;
  wire::SetText(box.ID, ID_);
  wire::SetText(box.description, description_);
  box.enable = enable_;
  box.action = action_;
  box.eAction = eAction_;
  wire::SetText(box.error, error_);
  wire::SetText(box.device, device_);
  box.devicenum = devicenum_;
  box.insource = insource_;
  wire::SetText(box.szMajorCh, szMajorCh_);
  wire::SetText(box.szMinorCh, szMinorCh_);
  box.interval = interval_;
  for (std::size_t i = 0; i < dayOfWeeks_.size(); ++i) box.dayOfWeeks[i] = dayOfWeeks_[i];
  box.dtime = DateTimeOf(dtime_);
  box.startdtime = DateTimeOf(startdtime_);
  box.enddtime = DateTimeOf(GetEndTime());
  box.timelen = timelen_;
  wire::SetText(box.recpath, recpath_);
  wire::SetText(box.recfile, recfile_);
  box.splitfile = splitfile_;
  box.splitsize = splitsize_;
  wire::SetText(box.szAPPath, szAPPath_);
  box.lVideoInputFormat = stream_.lVideoInputFormat;
  box.lVideoOutputFormat = stream_.lVideoOutputFormat;
  box.bIsCbr = stream_.bIsCbr;
  box.lVideoAverageBitRate = stream_.lVideoAverageBitRate;
  box.lVideoMaxBitRate = stream_.lVideoMaxBitRate;
  box.lVideoMinBitRate = stream_.lVideoMinBitRate;
  box.lAudioFormat = stream_.lAudioFormat;
  box.lAudioPeak = stream_.lAudioPeak;
  box.lAudioAverageBitRate = stream_.lAudioAverageBitRate;
  box.lAudioBitRate = stream_.lAudioBitRate;
  box.bEnablePreview = stream_.bEnablePreview;
  box.lAudioVolume = stream_.lAudioVolume;
  box.nRecordStatus = nRecordStatus_;
  return box;
}

ScheduleProgram ScheduleProgram::Clone() const {
  ScheduleProgram copy{NoId{}};
  copy.ID_ = ID_;
  copy.error_ = kErrorNotReady;
  copy.enable_ = enable_;
  copy.action_ = action_;
  copy.eAction_ = eAction_;
  copy.description_ = description_;
  copy.device_ = device_;
  copy.devicenum_ = devicenum_;
  copy.insource_ = insource_;
  copy.szMajorCh_ = szMajorCh_;
  copy.szMinorCh_ = szMinorCh_;
  copy.interval_ = interval_;
  copy.dtime_ = dtime_;
  copy.timelen_ = action_ == kWakeUpAction ? 1 : timelen_;
  copy.recpath_ = recpath_;
  copy.splitsize_ = splitsize_;
  copy.splitfile_ = splitsize_ > 0 ? 1 : 0;
  copy.dayOfWeeks_ = dayOfWeeks_;
  copy.szAPPath_ = szAPPath_;
  copy.stream_ = stream_;
  copy.nRecordStatus_ = nRecordStatus_;
  return copy;
}

void ScheduleProgram::CopyFrom(const ScheduleProgram& other) {
  if (this != &other) *this = other;
}

void ScheduleProgram::SetDevice(std::string device, std::int32_t devicenum, std::int32_t insource) {
  device_ = std::move(device);
  devicenum_ = devicenum;
  insource_ = insource;
}

void ScheduleProgram::SetChannel(std::string majorCh, std::string minorCh) {
  szMajorCh_ = std::move(majorCh);
  szMinorCh_ = std::move(minorCh);
}

void ScheduleProgram::SetRecord(std::string recpath, std::string recfile, std::int32_t splitsize) {
  recpath_ = std::move(recpath);
  recfile_ = std::move(recfile);
  splitsize_ = splitsize;
  splitfile_ = splitsize > 0 ? 1 : 0;
}

void ScheduleProgram::SetSchedule(std::int32_t interval, std::int64_t dtime, std::int32_t timelen) {
  interval_ = interval;
  dtime_ = dtime;
  timelen_ = timelen;
}

platform::Status ScheduleProgram::SetSchedule(std::int32_t interval, const wire::Date_Time& start,
                                              std::int32_t timelen) {
  const std::optional<std::int64_t> dtime = PointInTimeOf(start);
  if (!dtime) return platform::MakeError("start " + Describe(start) + " is not a valid local time");
  SetSchedule(interval, *dtime, timelen);
  return platform::Status::Ok();
}

}  // namespace TESKTV::SCHEDULE
