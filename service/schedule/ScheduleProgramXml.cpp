// ScheduleProgram to and from its element in the schedule file.

#include <cctype>
#include <climits>
#include <cstdio>

#include "service/schedule/ScheduleProgram.h"

namespace TESKTV::SCHEDULE {

namespace platform = quorvane::platform;
namespace wire = quorvane::wire;
using platform::xml::Node;

namespace {

// Leading decimal digits after optional blanks and sign; anything else
// reads as 0. Values beyond 32 bits are clamped.
std::int32_t ParseInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) != 0) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<std::int32_t>(value);
}

std::int32_t IntOf(const Node& parent, std::string_view name) { return ParseInt(parent.Child(name).Text()); }

std::int32_t FlagOf(const Node& parent, std::string_view name) {
  return parent.Child(name).Text() == "TRUE" ? 1 : 0;
}

const char* FlagText(std::int32_t value) { return value == 1 ? "TRUE" : "FALSE"; }

void AppendInt(Node& parent, std::string_view name, std::int64_t value) {
  parent.AppendElement(name, std::to_string(value));
}

std::string DayElementName(std::size_t index) { return "dayofweek_" + std::to_string(index); }

}  // namespace

platform::Result<ScheduleProgram> ScheduleProgram::FromNode(const Node& node) {
  ScheduleProgram record{NoId{}};
  if (node.IsNull()) {
    record.error_ = kErrorNullNode;
    return record;
  }
  const std::optional<std::string> id = node.Attribute("id");
  if (!id || id->empty()) {
    record.error_ = kErrorNoId;
    return record;
  }
  record.ID_ = *id;

  if (Node n = node.Child("description")) record.description_ = n.Text();
  if (Node n = node.Child("enable")) record.enable_ = ParseInt(n.Text()) > 0 ? 1 : 0;
  if (Node n = node.Child("action")) record.action_ = ParseInt(n.Text());
  if (Node n = node.Child("eaction")) record.eAction_ = ParseInt(n.Text());
  if (Node n = node.Child("device")) {
    record.device_ = n.Text();
    record.devicenum_ = ParseInt(n.Attribute("num").value_or(""));
  }
  if (Node n = node.Child("source")) record.insource_ = ParseInt(n.Text());
  if (Node n = node.Child("MajorCh")) record.szMajorCh_ = n.Text();
  if (Node n = node.Child("MinorCh")) record.szMinorCh_ = n.Text();

  // Seconds are not stored; a missing member reads as 0, so a schedule
  // without its date is refused below like any other impossible time.
  const Node datetime = node.Child("datetime");
  const wire::Date_Time start{IntOf(datetime, "year"), IntOf(datetime, "month"), IntOf(datetime, "date"),
                              IntOf(datetime, "hour"), IntOf(datetime, "minute"), 0};
  const std::optional<std::int64_t> dtime = PointInTimeOf(start);
  if (!dtime) {
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", start.yy, start.mm, start.dd, start.hh, start.min);
    return platform::MakeError("schedule \"" + record.ID_ + "\": start " + text + " is not a valid local time");
  }
  record.dtime_ = *dtime;
  if (datetime) {
    record.timelen_ = IntOf(datetime, "length");
    record.interval_ = IntOf(datetime, "interval");
    for (std::size_t i = 0; i < record.dayOfWeeks_.size(); ++i) {
      record.dayOfWeeks_[i] = IntOf(datetime, DayElementName(i));
    }
  }

  if (const Node recordNode = node.Child("record")) {
    record.recpath_ = recordNode.Child("saving").Text();
    record.splitsize_ = IntOf(recordNode, "split");
    record.splitfile_ = record.splitsize_ > 0 ? 1 : 0;
  }
  if (const Node apinfo = node.Child("apinfo")) record.szAPPath_ = apinfo.Child("appath").Text();
  if (const Node bitrate = node.Child("bitratesetting")) {
    StreamSettings& s = record.stream_;
    s.lVideoInputFormat = IntOf(bitrate, "VideoInputFormat");
    s.lVideoOutputFormat = IntOf(bitrate, "VideoOutputFormat");
    s.bIsCbr = FlagOf(bitrate, "Cbr");
    s.lVideoAverageBitRate = IntOf(bitrate, "VideoAverageBitRate");
    s.lVideoMaxBitRate = IntOf(bitrate, "VideoMaxBitRate");
    s.lVideoMinBitRate = IntOf(bitrate, "VideoMinBitRate");
    s.lAudioFormat = IntOf(bitrate, "AudioFormat");
    s.lAudioPeak = IntOf(bitrate, "AudioPeak");
    s.lAudioAverageBitRate = IntOf(bitrate, "AudioAverageBitRate");
    s.lAudioBitRate = IntOf(bitrate, "AudioBitRate");
    s.bEnablePreview = FlagOf(bitrate, "Preview");
    s.lAudioVolume = IntOf(bitrate, "AudioVolume");
  }
  if (Node n = node.Child("RecordStatus")) record.nRecordStatus_ = ParseInt(n.Text());
  return record;
}

void ScheduleProgram::AppendToNode(Node& schedules) const {
  Node schedule = schedules.AppendElement("schedule");
  schedule.SetAttribute("id", ID_);
  schedule.AppendElement("description", description_);
  AppendInt(schedule, "enable", enable_);
  AppendInt(schedule, "action", action_);
  AppendInt(schedule, "eaction", eAction_);
  Node device = schedule.AppendElement("device", device_);
  device.SetAttribute("num", std::to_string(devicenum_));
  AppendInt(schedule, "source", insource_);
  schedule.AppendElement("MajorCh", szMajorCh_);
  schedule.AppendElement("MinorCh", szMinorCh_);

  const platform::LocalDateTime local = platform::ToLocal(dtime_);
  Node datetime = schedule.AppendElement("datetime");
  AppendInt(datetime, "year", local.year);
  AppendInt(datetime, "month", local.month);
  AppendInt(datetime, "date", local.day);
  AppendInt(datetime, "hour", local.hour);
  AppendInt(datetime, "minute", local.minute);
  AppendInt(datetime, "length", timelen_);
  AppendInt(datetime, "interval", interval_);
  for (std::size_t i = 0; i < dayOfWeeks_.size(); ++i) AppendInt(datetime, DayElementName(i), dayOfWeeks_[i]);

  Node recordNode = schedule.AppendElement("record");
  recordNode.AppendElement("saving", recpath_);
  AppendInt(recordNode, "split", splitsize_);

  Node apinfo = schedule.AppendElement("apinfo");
  apinfo.AppendElement("appath", szAPPath_);

  const StreamSettings& s = stream_;
  Node bitrate = schedule.AppendElement("bitratesetting");
  AppendInt(bitrate, "VideoInputFormat", s.lVideoInputFormat);
  AppendInt(bitrate, "VideoOutputFormat", s.lVideoOutputFormat);
  bitrate.AppendElement("Cbr", FlagText(s.bIsCbr));
  AppendInt(bitrate, "VideoAverageBitRate", s.lVideoAverageBitRate);
  AppendInt(bitrate, "VideoMaxBitRate", s.lVideoMaxBitRate);
  AppendInt(bitrate, "VideoMinBitRate", s.lVideoMinBitRate);
  AppendInt(bitrate, "AudioFormat", s.lAudioFormat);
  AppendInt(bitrate, "AudioPeak", s.lAudioPeak);
  AppendInt(bitrate, "AudioAverageBitRate", s.lAudioAverageBitRate);
  AppendInt(bitrate, "AudioBitRate", s.lAudioBitRate);
  bitrate.AppendElement("Preview", FlagText(s.bEnablePreview));
  AppendInt(bitrate, "AudioVolume", s.lAudioVolume);

  AppendInt(schedule, "RecordStatus", nRecordStatus_);
}

}  // namespace TESKTV::SCHEDULE
