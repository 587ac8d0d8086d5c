#include "service/monitor/ScheduleOccurrence.h"

#include <gtest/gtest.h>

#include "tests/service/monitor/MonitorTestSupport.h"

namespace TESKTV::SCHEDULE {
namespace {

using testing::Describe;
using testing::Local;
using testing::MakeSchedule;

constexpr DayOfWeeks kMondayWednesday{1, 0, 1, 0, 0, 0, 0};
constexpr DayOfWeeks kWednesday{0, 0, 1, 0, 0, 0, 0};

class ScheduleOccurrenceTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::PinBerlinTime(); }

  static ScheduleRecord Shared(ScheduleProgram record) {
    return std::make_shared<const ScheduleProgram>(std::move(record));
  }
};

TEST_F(ScheduleOccurrenceTest, NextOccurrenceFollowsTheInterval) {
  struct Case {
    const char* what;
    ScheduleProgram record;
    std::int64_t now;
    int grace;
    std::int64_t expected;
  };
  // 2026-06-01 is a Monday.
  const Case cases[] = {
      {"ONCE is its start, past or not", MakeSchedule("O", ONCE, Local(2026, 5, 1, 20, 0, 17), 30),
       Local(2026, 6, 1, 9, 0), 1, Local(2026, 5, 1, 20, 0, 17)},
      {"unknown interval counts as ONCE", MakeSchedule("U", 7, Local(2026, 5, 1, 20, 0), 30), Local(2026, 6, 1, 9, 0),
       0, Local(2026, 5, 1, 20, 0)},
      {"DAILY 20:00 at 20:00:20, grace 1: today", MakeSchedule("D", DAILY, Local(2026, 1, 4, 20, 0, 33), 30),
       Local(2026, 6, 1, 20, 0, 20), 1, Local(2026, 6, 1, 20, 0)},
      {"DAILY 20:00 at 20:01:59, grace 1: still today", MakeSchedule("D", DAILY, Local(2026, 1, 4, 20, 0), 30),
       Local(2026, 6, 1, 20, 1, 59), 1, Local(2026, 6, 1, 20, 0)},
      {"DAILY 20:00 at 20:02, grace 1: tomorrow", MakeSchedule("D", DAILY, Local(2026, 1, 4, 20, 0), 30),
       Local(2026, 6, 1, 20, 2), 1, Local(2026, 6, 2, 20, 0)},
      {"DAILY 20:00 at 20:01, grace 0: tomorrow", MakeSchedule("D", DAILY, Local(2026, 1, 4, 20, 0), 30),
       Local(2026, 6, 1, 20, 1), 0, Local(2026, 6, 2, 20, 0)},
      {"DAILY across the end of a year", MakeSchedule("D", DAILY, Local(2026, 1, 4, 6, 0), 30),
       Local(2026, 12, 31, 7, 0), 0, Local(2027, 1, 1, 6, 0)},
      {"WEEKLY Mon+Wed 08:00 on Monday 09:00: Wednesday",
       MakeSchedule("W", WEEKLY, Local(2026, 1, 5, 8, 0), 30, kMondayWednesday), Local(2026, 6, 1, 9, 0), 0,
       Local(2026, 6, 3, 8, 0)},
      {"WEEKLY Mon+Wed 08:00 on Wednesday 07:00: that day",
       MakeSchedule("W", WEEKLY, Local(2026, 1, 5, 8, 0), 30, kMondayWednesday), Local(2026, 6, 3, 7, 0), 0,
       Local(2026, 6, 3, 8, 0)},
      {"WEEKLY Mon+Wed 08:00 on Wednesday 09:00: next Monday",
       MakeSchedule("W", WEEKLY, Local(2026, 1, 5, 8, 0), 30, kMondayWednesday), Local(2026, 6, 3, 9, 0), 0,
       Local(2026, 6, 8, 8, 0)},
      {"WEEKLY Wednesday only on Wednesday 09:00: a week later",
       MakeSchedule("W", WEEKLY, Local(2026, 1, 7, 8, 0), 30, kWednesday), Local(2026, 6, 3, 9, 0), 0,
       Local(2026, 6, 10, 8, 0)},
      {"WEEKLY Mon+Wed from Sunday wraps to Monday",
       MakeSchedule("W", WEEKLY, Local(2026, 1, 5, 8, 0), 30, kMondayWednesday), Local(2026, 6, 7, 9, 0), 0,
       Local(2026, 6, 8, 8, 0)},
      {"WEEKLY without days, not past: today", MakeSchedule("W", WEEKLY, Local(2026, 1, 5, 8, 0), 30),
       Local(2026, 6, 3, 7, 0), 0, Local(2026, 6, 3, 8, 0)},
      {"WEEKLY without days, past: tomorrow", MakeSchedule("W", WEEKLY, Local(2026, 1, 5, 8, 0), 30),
       Local(2026, 6, 3, 9, 0), 0, Local(2026, 6, 4, 8, 0)},
  };
  for (const Case& c : cases) {
    const std::int64_t next = NextOccurrence(c.record, c.now, c.grace);
    EXPECT_EQ(next, c.expected) << c.what << ": got " << Describe(next) << ", want " << Describe(c.expected);
  }
}

TEST_F(ScheduleOccurrenceTest, NextOccurrenceOnTheDaysTheClockChanges) {
  // 29 March 2026: 02:00 winter time becomes 03:00 summer time.
  const ScheduleProgram daily0230 = MakeSchedule("D", DAILY, Local(2026, 1, 4, 2, 30), 30);
  const std::int64_t spring = NextOccurrence(daily0230, Local(2026, 3, 29, 1, 0), 0);
  // 02:30 does not exist that day; read on winter time it is 03:30 summer
  // time, an hour and a half after 01:00.
  EXPECT_EQ(spring, Local(2026, 3, 29, 3, 30)) << Describe(spring);
  EXPECT_EQ(spring - Local(2026, 3, 29, 1, 0), 5400);

  const ScheduleProgram daily0300 = MakeSchedule("D", DAILY, Local(2026, 1, 4, 3, 0), 30);
  EXPECT_EQ(NextOccurrence(daily0300, Local(2026, 3, 29, 1, 0), 0) - Local(2026, 3, 29, 1, 0), 3600);
  // From Saturday 21:00 the next 20:00 is 22 hours away.
  const ScheduleProgram daily2000 = MakeSchedule("D", DAILY, Local(2026, 1, 4, 20, 0), 30);
  EXPECT_EQ(NextOccurrence(daily2000, Local(2026, 3, 28, 21, 0), 0) - Local(2026, 3, 28, 21, 0), 22 * 3600);

  // 25 October 2026: 03:00 summer time becomes 02:00 winter time; 02:30
  // happens twice and the first one counts.
  const std::int64_t autumn = NextOccurrence(daily0230, Local(2026, 10, 25, 0, 0), 0);
  EXPECT_EQ(autumn, Local(2026, 10, 25, 0, 0) + 2 * 3600 + 1800);
  EXPECT_TRUE(quorvane::platform::ToLocal(autumn).dst);
  EXPECT_EQ(NextOccurrence(daily2000, Local(2026, 10, 24, 21, 0), 0) - Local(2026, 10, 24, 21, 0), 24 * 3600);
  // A WEEKLY Sunday schedule seen on Saturday, across the change.
  const ScheduleProgram sunday = MakeSchedule("W", WEEKLY, Local(2026, 1, 4, 4, 0), 30, {0, 0, 0, 0, 0, 0, 1});
  EXPECT_EQ(NextOccurrence(sunday, Local(2026, 10, 24, 4, 0), 0) - Local(2026, 10, 24, 4, 0), 25 * 3600);
}

TEST_F(ScheduleOccurrenceTest, CollectDueSelectsStartedAndComingSchedules) {
  const std::int64_t eight = Local(2026, 6, 1, 20, 0);
  const ScheduleList list = {
      Shared(MakeSchedule("daily", DAILY, Local(2026, 1, 4, 20, 0), 30)),
      Shared(MakeSchedule("once", ONCE, eight, 30)),
  };
  struct Case {
    const char* what;
    std::int64_t now;
    DueMode mode;
    std::size_t count;
  };
  const Case cases[] = {
      {"due now at 20:00:00", eight, DueMode::kDueNow, 2},
      {"due now at 20:00:20", eight + 20, DueMode::kDueNow, 2},
      {"due now at 20:00:29", eight + 29, DueMode::kDueNow, 2},
      {"not due now at 20:00:30", eight + 30, DueMode::kDueNow, 0},
      {"not due now at 20:00:40", eight + 40, DueMode::kDueNow, 0},
      {"ONCE 45 s past is not due", eight + 45, DueMode::kDueNow, 0},
      {"not due now before the start", eight - 1, DueMode::kDueNow, 0},
      {"due soon 60 s before", eight - 60, DueMode::kDueSoon, 2},
      {"due soon 1 s before", eight - 1, DueMode::kDueSoon, 2},
      {"not due soon 61 s before", eight - 61, DueMode::kDueSoon, 0},
      {"not due soon at the start", eight, DueMode::kDueSoon, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(CollectDue(list, c.mode, c.now).size(), c.count) << c.what;

  // At 20:00:40 the DAILY one's next start is still today's (grace 1)...
  EXPECT_EQ(NextOccurrence(*list[0], eight + 40, 1), eight);
  // ... and the due list keeps list order.
  const ScheduleList due = CollectDue(list, DueMode::kDueNow, eight + 5);
  ASSERT_EQ(due.size(), 2u);
  EXPECT_EQ(due[0]->GetID(), "daily");
  EXPECT_EQ(due[1]->GetID(), "once");
}

TEST_F(ScheduleOccurrenceTest, DisabledSchedulesAreNeverDueNorNearest) {
  ScheduleProgram disabled = MakeSchedule("off", ONCE, Local(2026, 6, 1, 20, 0), 30);
  disabled.SetEnable(0);
  const ScheduleList list = {Shared(disabled)};
  for (std::int64_t now = Local(2026, 6, 1, 19, 58); now < Local(2026, 6, 1, 20, 2); now += 10) {
    EXPECT_TRUE(CollectDue(list, DueMode::kDueNow, now).empty());
    EXPECT_TRUE(CollectDue(list, DueMode::kDueSoon, now).empty());
  }
  EXPECT_EQ(NearestTime(list, Local(2026, 6, 1, 12, 0)), 0);
}

TEST_F(ScheduleOccurrenceTest, NearestTimeIsTheEarliestStartStrictlyAfterNow) {
  const std::int64_t now = Local(2026, 3, 29, 1, 0);
  const ScheduleList list = {
      Shared(MakeSchedule("past", ONCE, now - 600, 30)),
      Shared(MakeSchedule("exactly now", ONCE, now, 30)),
      Shared(MakeSchedule("daily 03:00", DAILY, Local(2026, 1, 4, 3, 0), 30)),
      Shared(MakeSchedule("once later", ONCE, Local(2026, 3, 29, 5, 0), 30)),
  };
  // 03:00 summer time, one hour away on the day the clock goes forward: a
  // wake-up two minutes before it is 58 minutes from now.
  EXPECT_EQ(NearestTime(list, now), Local(2026, 3, 29, 3, 0));
  EXPECT_EQ(NearestTime(list, now) - 120 - now, 58 * 60);
  EXPECT_EQ(NearestTime({}, now), 0);
  EXPECT_EQ(NearestTime({list[0], list[1]}, now), 0);
}

}  // namespace
}  // namespace TESKTV::SCHEDULE
