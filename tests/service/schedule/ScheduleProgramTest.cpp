#include "service/schedule/ScheduleProgram.h"

#include <gtest/gtest.h>

#include "platform/clock/SimulatedClock.h"
#include "tests/service/schedule/ScheduleTestSupport.h"

namespace TESKTV::SCHEDULE {
namespace {

namespace wire = quorvane::wire;
using quorvane::platform::SimulatedClock;
using quorvane::platform::WallTime;

class ScheduleProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::PinBerlinTime(); }
};

WallTime Utc(std::int64_t seconds) { return WallTime(std::chrono::seconds(seconds)); }

TEST_F(ScheduleProgramTest, NewRecordHasTheDefaults) {
  SimulatedClock clock;
  const ScheduleProgram record("SI_X", clock);
  EXPECT_EQ(record.GetID(), "SI_X");
  EXPECT_EQ(record.GetError(), "Not Ready!!");
  EXPECT_EQ(record.GetClassName(), std::string("ScheduleProgram"));
  EXPECT_EQ(record.GetDescription(), "");
  EXPECT_EQ(record.GetDevice(), "");
  EXPECT_EQ(record.GetRecPath(), "");
  EXPECT_EQ(record.GetRecFile(), "");
  EXPECT_EQ(record.GetAPPath(), "");
  EXPECT_EQ(record.GetMajorCh(), "");
  EXPECT_EQ(record.GetMinorCh(), "");
  EXPECT_EQ(record.GetEnable(), 0);
  EXPECT_EQ(record.GetAction(), 0);
  EXPECT_EQ(record.GetEAction(), 5);
  EXPECT_EQ(record.GetDeviceNum(), 0);
  EXPECT_EQ(record.GetInSource(), 0);
  EXPECT_EQ(record.GetInterval(), ONCE);
  EXPECT_EQ(record.GetDayOfWeeks(), (DayOfWeeks{}));
  EXPECT_EQ(record.GetDTime(), 0);
  EXPECT_EQ(record.GetStartDTime(), 0);
  EXPECT_EQ(record.GetTimeLen(), 0);
  EXPECT_EQ(record.GetSplitFile(), 0);
  EXPECT_EQ(record.GetSplitSize(), 0);
  EXPECT_EQ(record.GetRecordStatus(), 0);
  const StreamSettings expected{0, 0, 1, 8000, 8000, 8000, 1, 0, 0, 32, 1, 31};
  EXPECT_EQ(record.GetStream(), expected);
}

TEST_F(ScheduleProgramTest, GeneratedIdIsTheLocalTimeOfTheClock) {
  // 2026-12-09 13:30:05 UTC is 14:30:05 in Berlin.
  SimulatedClock clock(Utc(1796823005));
  EXPECT_EQ(GenerateScheduleId(clock), "SI_14300920261205");
  EXPECT_EQ(ScheduleProgram("", clock).GetID(), "SI_14300920261205");
  EXPECT_EQ(ScheduleProgram("", clock).GetID(), ScheduleProgram("", clock).GetID());
  clock.Advance(std::chrono::seconds(1));
  EXPECT_EQ(ScheduleProgram("", clock).GetID(), "SI_14300920261206");
}

wire::SCHEDULE_PROGRAM_BOX FullBox() {
  wire::SCHEDULE_PROGRAM_BOX box;
  wire::SetText(box.ID, "SI_BOX");
  wire::SetText(box.description, "News \xF0\x9F\x93\xBA");
  box.enable = 1;
  box.action = 0;
  box.eAction = 4;
  wire::SetText(box.error, "ERROR_ID_6");
  wire::SetText(box.device, "Sat");
  box.devicenum = 1;
  box.insource = 2;
  wire::SetText(box.szMajorCh, "12345");
  wire::SetText(box.szMinorCh, "678");
  box.interval = DAILY;
  box.dayOfWeeks[3] = 1;
  box.dtime = {2026, 7, 1, 21, 45, 30};
  box.startdtime = {2026, 7, 1, 21, 44, 0};
  box.enddtime = {1999, 1, 1, 0, 0, 0};
  box.timelen = 75;
  wire::SetText(box.recpath, "/rec");
  wire::SetText(box.recfile, "news.mpg");
  box.splitfile = 1;
  box.splitsize = 0;
  wire::SetText(box.szAPPath, "/ap");
  box.lVideoInputFormat = 1;
  box.lVideoOutputFormat = 2;
  box.bIsCbr = 0;
  box.lVideoAverageBitRate = 3;
  box.lVideoMaxBitRate = 4;
  box.lVideoMinBitRate = 5;
  box.lAudioFormat = 6;
  box.lAudioPeak = 7;
  box.lAudioAverageBitRate = 8;
  box.lAudioBitRate = 9;
  box.bEnablePreview = 0;
  box.lAudioVolume = 10;
  box.nRecordStatus = 1;
  return box;
}

TEST_F(ScheduleProgramTest, FromBoxAndToBoxCarryEveryField) {
  const wire::SCHEDULE_PROGRAM_BOX box = FullBox();
  auto record = ScheduleProgram::FromBox(box);
  ASSERT_TRUE(record.ok()) << record.error().message;
  EXPECT_EQ(record->GetError(), "ERROR_ID_6");
  EXPECT_EQ(record->GetRecFile(), "news.mpg");
  EXPECT_EQ(record->GetSplitFile(), 1);  // taken as sent, not recomputed
  EXPECT_EQ(record->GetDTime(), testing::Local(2026, 7, 1, 21, 45, 30));
  EXPECT_EQ(record->GetStartDTime(), testing::Local(2026, 7, 1, 21, 44));
  EXPECT_EQ(record->GetEndTime(), testing::Local(2026, 7, 1, 22, 59));

  wire::SCHEDULE_PROGRAM_BOX expected = box;
  expected.enddtime = {2026, 7, 1, 22, 59, 0};  // startdtime + timelen, not what came in
  EXPECT_EQ(wire::Encode(record->ToBox()), wire::Encode(expected));
}

TEST_F(ScheduleProgramTest, ToBoxSplitsTimesOnBothSidesOfTheDaylightSavingChange) {
  ScheduleProgram record("SI_T");
  // 2026-03-29 00:30 UTC is 01:30 CET; an hour later it is 03:30 CEST.
  record.SetSchedule(ONCE, 1774744200, 120);
  record.SetStartDTime(1774744200 + 3600);
  const wire::SCHEDULE_PROGRAM_BOX box = record.ToBox();
  EXPECT_EQ(box.dtime, (wire::Date_Time{2026, 3, 29, 1, 30, 0}));
  EXPECT_EQ(box.startdtime, (wire::Date_Time{2026, 3, 29, 3, 30, 0}));
  EXPECT_EQ(box.enddtime, (wire::Date_Time{2026, 3, 29, 5, 30, 0}));
  EXPECT_EQ(wire::GetText(box.error), "Not Ready!!");
}

TEST_F(ScheduleProgramTest, CalendarFieldsThatAreNoLocalTimeAreRefusedAndChangeNothing) {
  const struct {
    const char* name;
    wire::Date_Time time;
  } invalid[] = {
      {"skipped by the change to summer time", {2026, 3, 29, 2, 30, 0}},
      {"31 February", {2026, 2, 31, 10, 0, 0}},
      {"29 February of a common year", {2027, 2, 29, 10, 0, 0}},
      {"month 13", {2026, 13, 1, 10, 0, 0}},
      {"hour 24", {2026, 1, 1, 24, 0, 0}},
      {"second 60", {2026, 1, 1, 10, 0, 60}},
      {"year 1899", {1899, 12, 31, 10, 0, 0}},
      {"unset", {0, 0, 0, 0, 0, 0}},
  };
  for (const auto& c : invalid) {
    wire::SCHEDULE_PROGRAM_BOX box = FullBox();
    box.dtime = c.time;
    auto fromDtime = ScheduleProgram::FromBox(box);
    ASSERT_FALSE(fromDtime.ok()) << c.name;
    EXPECT_NE(fromDtime.error().message.find("dtime"), std::string::npos) << fromDtime.error().message;

    box = FullBox();
    box.startdtime = c.time;
    auto fromStart = ScheduleProgram::FromBox(box);
    ASSERT_FALSE(fromStart.ok()) << c.name;
    EXPECT_NE(fromStart.error().message.find("startdtime"), std::string::npos) << fromStart.error().message;

    ScheduleProgram record("SI_KEEP");
    record.SetSchedule(WEEKLY, 1000, 30);
    const ScheduleProgram before = record;
    EXPECT_FALSE(record.SetSchedule(DAILY, c.time, 60).ok()) << c.name;
    EXPECT_EQ(record, before) << c.name;
  }

  // The hour that occurs twice when summer time ends gives its first
  // occurrence (still summer time, UTC+2); the hour after is winter time.
  EXPECT_EQ(PointInTimeOf({2026, 10, 25, 2, 30, 0}), 1792888200);
  EXPECT_EQ(PointInTimeOf({2026, 10, 25, 3, 30, 0}), 1792895400);
  EXPECT_EQ(PointInTimeOf({2026, 3, 29, 3, 0, 0}), 1774746000);
  EXPECT_EQ(PointInTimeOf({2028, 2, 29, 12, 0, 0}).has_value(), true);
}

TEST_F(ScheduleProgramTest, CloneCarriesTheScheduleButNotTheClientExtras) {
  auto source = ScheduleProgram::FromBox(FullBox());
  ASSERT_TRUE(source.ok());
  source->SetRecord("/rec", "news.mpg", 650);
  source->SetSplitFile(0);
  const ScheduleProgram clone = source->Clone();
  EXPECT_EQ(clone.GetID(), "SI_BOX");
  EXPECT_EQ(clone.GetError(), "Not Ready!!");
  EXPECT_EQ(clone.GetStartDTime(), 0);
  EXPECT_EQ(clone.GetRecFile(), "");
  EXPECT_EQ(clone.GetSplitFile(), 1);  // recomputed from the size
  EXPECT_EQ(clone.GetSplitSize(), 650);

  ScheduleProgram expected = *source;
  expected.SetError("Not Ready!!");
  expected.SetStartDTime(0);
  expected.SetRecord("/rec", "", 650);
  EXPECT_EQ(clone, expected);

  source->SetAction(kWakeUpAction);
  EXPECT_EQ(source->Clone().GetTimeLen(), 1);
  source->SetRecord("/rec", "", 0);
  source->SetSplitFile(1);
  EXPECT_EQ(source->Clone().GetSplitFile(), 0);
}

TEST_F(ScheduleProgramTest, CopyFromTakesEveryField) {
  auto source = ScheduleProgram::FromBox(FullBox());
  ASSERT_TRUE(source.ok());
  ScheduleProgram target("SI_OTHER");
  target.CopyFrom(*source);
  EXPECT_EQ(target, *source);
  EXPECT_EQ(target.GetRecFile(), "news.mpg");
  EXPECT_EQ(target.GetError(), "ERROR_ID_6");
  target.CopyFrom(target);
  EXPECT_EQ(target, *source);
}

TEST_F(ScheduleProgramTest, GroupSettersAndEndTime) {
  ScheduleProgram record("SI_S");
  record.SetDevice("Box", 2, 3);
  record.SetChannel("101", "2");
  record.SetRecord("/r", "f.mpg", 0);
  ASSERT_TRUE(record.SetSchedule(DAILY, wire::Date_Time{2026, 5, 1, 23, 30, 15}, 45).ok());
  record.SetStartDTime(record.GetDTime());
  EXPECT_EQ(record.GetDevice(), "Box");
  EXPECT_EQ(record.GetDeviceNum(), 2);
  EXPECT_EQ(record.GetInSource(), 3);
  EXPECT_EQ(record.GetMajorCh(), "101");
  EXPECT_EQ(record.GetMinorCh(), "2");
  EXPECT_EQ(record.GetSplitFile(), 0);
  EXPECT_EQ(record.GetInterval(), DAILY);
  EXPECT_EQ(record.GetDTime(), testing::Local(2026, 5, 1, 23, 30, 15));
  EXPECT_EQ(record.GetEndTime(), testing::Local(2026, 5, 2, 0, 15, 15));
}

}  // namespace
}  // namespace TESKTV::SCHEDULE
