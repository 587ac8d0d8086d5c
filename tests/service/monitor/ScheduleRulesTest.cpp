#include "service/monitor/ScheduleRules.h"

#include <gtest/gtest.h>

#include "service/monitor/ScheduleErrors.h"
#include "tests/service/monitor/MonitorTestSupport.h"

namespace TESKTV::SCHEDULE {
namespace {

using testing::Local;
using testing::MakeSchedule;

constexpr DayOfWeeks kMonday{1, 0, 0, 0, 0, 0, 0};
constexpr DayOfWeeks kTuesday{0, 1, 0, 0, 0, 0, 0};
constexpr DayOfWeeks kWednesday{0, 0, 1, 0, 0, 0, 0};
constexpr DayOfWeeks kSunday{0, 0, 0, 0, 0, 0, 1};

class ScheduleRulesTest : public ::testing::Test, private testing::BerlinTimePinned {
 protected:
  // A Monday in summer time.
  const std::int64_t now_ = Local(2026, 6, 1, 12, 0, 0);
};

TEST_F(ScheduleRulesTest, ValidateAppliesTheRulesInOrder) {
  struct Case {
    const char* what;
    std::string id;
    std::int32_t action;
    std::int32_t interval;
    std::int64_t start;
    std::int32_t length;
    DayOfWeeks days;
    std::string word;  // "" = valid
  };
  const std::int64_t now = now_;
  const Case cases[] = {
      {"starting this very second", "A", 0, ONCE, now, 30, {}, ""},
      {"one second ago", "A", 0, ONCE, now - 1, 30, {}, "ERROR_ID_5"},
      {"empty ID before anything else", "", 0, ONCE, now - 1, 0, {}, "ERROR_ID_1"},
      {"wake-up of no length", "A", kWakeUpAction, ONCE, now + 60, 0, {}, ""},
      {"recording of no length", "A", 0, ONCE, now + 60, 0, {}, "ERROR_ID_2"},
      {"negative length", "A", 0, DAILY, now + 60, -5, {}, "ERROR_ID_2"},
      {"exactly a day", "A", 0, DAILY, now + 60, 1440, {}, ""},
      {"longer than a day", "A", 0, ONCE, now + 60, 1441, {}, "ERROR_ID_3"},
      {"wake-up longer than a day", "A", kWakeUpAction, ONCE, now + 60, 1441, {}, "ERROR_ID_3"},
      {"length before start", "A", 0, ONCE, now - 60, 1441, {}, "ERROR_ID_3"},
      {"DAILY in the past is fine", "A", 0, DAILY, now - 86400, 30, {}, ""},
      {"WEEKLY without days", "A", 0, WEEKLY, now + 60, 30, {}, "ERROR_ID_8"},
      {"WEEKLY with a day", "A", 0, WEEKLY, now - 86400 * 30, 30, kSunday, ""},
  };
  for (const Case& c : cases) {
    ScheduleProgram record = MakeSchedule(c.id, c.interval, c.start, c.length, c.days);
    record.SetAction(c.action);
    const bool valid = Validate(record, now);
    EXPECT_EQ(valid, c.word.empty()) << c.what;
    EXPECT_EQ(record.GetError(), c.word.empty() ? "Not Ready!!" : c.word) << c.what;
    if (!c.word.empty()) {
      EXPECT_NE(ErrorNumber(record.GetError()), 0) << c.what;
    }
  }
}

TEST_F(ScheduleRulesTest, ValidateGivesOnceAndDailyExactlyTheirStartDay) {
  // Sunday 2026-06-07 and Wednesday 2026-06-03; stale days are replaced.
  ScheduleProgram once = MakeSchedule("A", ONCE, Local(2026, 6, 7, 23, 59), 30, {1, 1, 1, 1, 1, 1, 0});
  ASSERT_TRUE(Validate(once, now_));
  EXPECT_EQ(once.GetDayOfWeeks(), kSunday);
  ScheduleProgram daily = MakeSchedule("B", DAILY, Local(2026, 6, 3, 0, 0), 30);
  ASSERT_TRUE(Validate(daily, now_));
  EXPECT_EQ(daily.GetDayOfWeeks(), kWednesday);
  // WEEKLY keeps what the user chose.
  ScheduleProgram weekly = MakeSchedule("C", WEEKLY, Local(2026, 6, 3, 0, 0), 30, kTuesday);
  ASSERT_TRUE(Validate(weekly, now_));
  EXPECT_EQ(weekly.GetDayOfWeeks(), kTuesday);
}

TEST_F(ScheduleRulesTest, DailyWindowsOverlapByTimeOfDay) {
  struct Case {
    const char* what;
    int pHour, pMinute, pLength;
    int qHour, qMinute, qLength;
    bool overlap;
  };
  const Case cases[] = {
      {"touching", 20, 0, 60, 21, 0, 60, false},
      {"touching, other order", 21, 0, 60, 20, 0, 60, false},
      {"one minute into it", 20, 0, 60, 20, 59, 31, true},
      {"one minute into it, other order", 20, 59, 31, 20, 0, 60, true},
      {"same start", 8, 0, 1, 8, 0, 1, true},
      {"inside", 8, 0, 120, 8, 30, 10, true},
      {"apart", 8, 0, 30, 12, 0, 30, false},
      {"late one wraps onto the early one", 23, 30, 60, 0, 15, 10, true},
      {"early one under the late one's spill", 0, 15, 10, 23, 30, 60, true},
      {"spill ends where the early one starts", 23, 30, 60, 0, 30, 10, false},
      {"early one before the spill's end", 0, 30, 10, 23, 30, 61, true},
      {"spill ends before the early one", 0, 45, 10, 23, 0, 90, false},
  };
  const std::int64_t day = Local(2026, 6, 2, 0, 0);
  for (const Case& c : cases) {
    const TimeWindow p{day + (c.pHour * 60 + c.pMinute) * 60, c.pLength};
    const TimeWindow q{day + (c.qHour * 60 + c.qMinute) * 60, c.qLength};
    EXPECT_EQ(todOverlap(p, q), c.overlap) << c.what;
  }
}

TEST_F(ScheduleRulesTest, AWindowOverTheDaylightSavingChangeEndsWhereTheClockShowsIt) {
  // 2026-03-28 23:30 for three hours ends at 03:30 summer time on the 29th
  // (two hours of winter time, the hour from 02:00 skipped).
  const TimeWindow night{Local(2026, 3, 28, 23, 30), 180};
  const TimeWindow early{Local(2026, 3, 27, 3, 0), 20};
  EXPECT_TRUE(todOverlap(night, early));
  EXPECT_TRUE(todOverlap(early, night));
  // In October the clock goes back an hour: 23:30 plus four hours ends at
  // 02:30 winter time, before a window at 03:00.
  const TimeWindow autumn{Local(2026, 10, 24, 23, 30), 240};
  const TimeWindow threeAm{Local(2026, 10, 23, 3, 0), 20};
  EXPECT_FALSE(todOverlap(autumn, threeAm));
  EXPECT_FALSE(todOverlap(threeAm, autumn));
}

TEST_F(ScheduleRulesTest, SpansAreHalfOpen) {
  const std::int64_t t = Local(2026, 6, 2, 20, 0);
  EXPECT_FALSE(spanOverlap({t, 60}, {t + 3600, 60}));
  EXPECT_FALSE(spanOverlap({t + 3600, 60}, {t, 60}));
  EXPECT_TRUE(spanOverlap({t, 60}, {t + 3599, 60}));
  EXPECT_FALSE(spanOverlap({t, 60}, {t + 86400, 60}));
}

TEST_F(ScheduleRulesTest, WeekWindowsMeetOnSharedDaysAndThroughTheSpillIntoTheNextDay) {
  const TimeWindow sundayLate{Local(2026, 6, 7, 23, 30), 60};
  const TimeWindow mondayEarly{Local(2026, 6, 1, 0, 10), 10};
  EXPECT_TRUE(weekOverlap(sundayLate, kSunday, mondayEarly, kMonday));
  EXPECT_TRUE(weekOverlap(mondayEarly, kMonday, sundayLate, kSunday));
  // The spill reaches Monday only, not Tuesday.
  EXPECT_FALSE(weekOverlap(sundayLate, kSunday, mondayEarly, kTuesday));
  // Same days, same time: overlap; different days: none.
  const TimeWindow evening{Local(2026, 6, 1, 20, 0), 60};
  EXPECT_TRUE(weekOverlap(evening, kMonday, evening, {1, 0, 1, 0, 0, 0, 0}));
  EXPECT_FALSE(weekOverlap(evening, kMonday, evening, kWednesday));
  // A record without days never meets anything.
  EXPECT_FALSE(weekOverlap(evening, {}, evening, kMonday));
}

TEST_F(ScheduleRulesTest, ConflictsFollowTheIntervalsOfBothSchedules) {
  auto prepared = [this](ScheduleProgram record) {
    EXPECT_TRUE(Validate(record, now_)) << record.GetID() << " " << record.GetError();
    return record;
  };
  const ScheduleProgram dailyEvening = prepared(MakeSchedule("D", DAILY, Local(2026, 6, 1, 20, 0), 60));
  const ScheduleProgram onceNextWeek = prepared(MakeSchedule("O1", ONCE, Local(2026, 6, 10, 20, 30), 30));
  const ScheduleProgram onceTomorrow = prepared(MakeSchedule("O2", ONCE, Local(2026, 6, 2, 20, 30), 30));
  const ScheduleProgram onceTomorrowToo = prepared(MakeSchedule("O3", ONCE, Local(2026, 6, 2, 20, 45), 30));
  const ScheduleProgram weeklyTuesday =
      prepared(MakeSchedule("W1", WEEKLY, Local(2026, 5, 26, 20, 40), 10, kTuesday));
  const ScheduleProgram weeklyWednesday =
      prepared(MakeSchedule("W2", WEEKLY, Local(2026, 5, 26, 20, 40), 10, kWednesday));

  // DAILY meets every schedule at that time of day, whatever the date.
  EXPECT_TRUE(CheckConflict(dailyEvening, onceNextWeek, now_));
  EXPECT_TRUE(CheckConflict(onceNextWeek, dailyEvening, now_));
  // Two ONCE schedules at the same time of day but on different dates do not.
  EXPECT_FALSE(CheckConflict(onceNextWeek, onceTomorrow, now_));
  EXPECT_TRUE(CheckConflict(onceTomorrow, onceTomorrowToo, now_));
  // ONCE against WEEKLY: by week day.
  EXPECT_TRUE(CheckConflict(onceTomorrow, weeklyTuesday, now_));
  EXPECT_FALSE(CheckConflict(onceTomorrow, weeklyWednesday, now_));
  EXPECT_TRUE(CheckConflict(weeklyWednesday, onceNextWeek, now_));
  // Times of day apart: nothing, whatever the days.
  const ScheduleProgram dailyMorning = prepared(MakeSchedule("M", DAILY, Local(2026, 6, 1, 8, 0), 60));
  EXPECT_FALSE(CheckConflict(dailyMorning, dailyEvening, now_));
}

TEST_F(ScheduleRulesTest, AnExpiredOnceScheduleNeverConflicts) {
  ScheduleProgram past = MakeSchedule("P", ONCE, now_ - 60, 120);
  ScheduleProgram daily = MakeSchedule("D", DAILY, now_ - 30, 30);
  ASSERT_TRUE(Validate(daily, now_));
  EXPECT_FALSE(CheckConflict(past, daily, now_));
  // The new record being the past one does not matter the other way round.
  EXPECT_TRUE(CheckConflict(daily, past, now_));
}

}  // namespace
}  // namespace TESKTV::SCHEDULE
