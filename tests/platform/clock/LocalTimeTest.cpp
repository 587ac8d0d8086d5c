#include "platform/clock/LocalTime.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

namespace quorvane::platform {
namespace {

class LocalTimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
  }
};

LocalDateTime At(int year, int month, int day, int hour, int minute, int second = 0) {
  LocalDateTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  return t;
}

TEST_F(LocalTimeTest, SpringForwardSkipsTheHourAfterTwo) {
  // 2026-03-29: 02:00 CET becomes 03:00 CEST.
  EXPECT_EQ(FromLocal(At(2026, 3, 29, 1, 59, 59)), 1774745999);
  EXPECT_EQ(FromLocal(At(2026, 3, 29, 3, 0)), 1774746000);
  for (int minute : {0, 30, 59}) {
    EXPECT_EQ(FromLocal(At(2026, 3, 29, 2, minute)), std::nullopt) << "02:" << minute;
  }
  EXPECT_EQ(FromLocal(At(2026, 3, 29, 2, 30), LocalTimeGap::kShiftForward), 1774747800);  // 03:30 CEST

  const LocalDateTime before = ToLocal(1774745999);
  EXPECT_EQ(before.hour, 1);
  EXPECT_FALSE(before.dst);
  const LocalDateTime after = ToLocal(1774746000);
  EXPECT_EQ(after.hour, 3);
  EXPECT_EQ(after.minute, 0);
  EXPECT_TRUE(after.dst);
  EXPECT_EQ(after.weekday, 0);  // Sunday
}

TEST_F(LocalTimeTest, FallBackRepeatsTheHourAfterTwoAndTakesTheEarlierOne) {
  // 2026-10-25: 03:00 CEST becomes 02:00 CET; 02:30 happens at 00:30 and 01:30 UTC.
  EXPECT_EQ(FromLocal(At(2026, 10, 25, 2, 30)), 1792888200);
  EXPECT_EQ(FromLocal(At(2026, 10, 25, 2, 30), LocalTimeGap::kShiftForward), 1792888200);
  EXPECT_EQ(FromLocal(At(2026, 10, 25, 3, 0)), 1792893600);

  const LocalDateTime first = ToLocal(1792888200);
  const LocalDateTime second = ToLocal(1792891800);
  EXPECT_EQ(first.hour, 2);
  EXPECT_EQ(second.hour, 2);
  EXPECT_EQ(first.minute, 30);
  EXPECT_EQ(second.minute, 30);
  EXPECT_TRUE(first.dst);
  EXPECT_FALSE(second.dst);
}

TEST_F(LocalTimeTest, RoundTripsOrdinaryTimes) {
  for (std::int64_t t : {std::int64_t{0}, std::int64_t{1781517600}, std::int64_t{1767225600}, std::int64_t{-86400},
                         std::int64_t{4102444799}}) {
    const LocalDateTime local = ToLocal(t);
    EXPECT_EQ(FromLocal(local), t) << t;
  }
  const LocalDateTime summer = ToLocal(1781517600);
  EXPECT_EQ(summer.year, 2026);
  EXPECT_EQ(summer.month, 6);
  EXPECT_EQ(summer.day, 15);
  EXPECT_EQ(summer.hour, 12);
  EXPECT_EQ(summer.weekday, 1);  // Monday
  EXPECT_TRUE(summer.dst);
}

TEST_F(LocalTimeTest, RefusesFieldsOutOfRangeInsteadOfNormalising) {
  const LocalDateTime refused[] = {
      At(2026, 13, 1, 0, 0),  At(2026, 0, 1, 0, 0),   At(2026, 2, 29, 0, 0), At(2026, 4, 31, 0, 0),
      At(2026, 1, 0, 0, 0),   At(2026, 1, 1, 24, 0),  At(2026, 1, 1, -1, 0), At(2026, 1, 1, 0, 60),
      At(2026, 1, 1, 0, 0, 60), At(0, 1, 1, 0, 0),    At(10000, 1, 1, 0, 0),
  };
  for (const LocalDateTime& t : refused) {
    EXPECT_EQ(FromLocal(t), std::nullopt) << t.year << "-" << t.month << "-" << t.day << " " << t.hour << ":"
                                          << t.minute << ":" << t.second;
  }
  EXPECT_TRUE(FromLocal(At(2028, 2, 29, 12, 0)).has_value());  // leap year
  EXPECT_TRUE(FromLocal(At(2026, 12, 31, 23, 59, 59)).has_value());
}

TEST_F(LocalTimeTest, FollowsTheZoneInTz) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  EXPECT_EQ(FromLocal(At(2026, 3, 29, 2, 30)), 1774751400);
  EXPECT_FALSE(ToLocal(1781517600).dst);
}

}  // namespace
}  // namespace quorvane::platform
