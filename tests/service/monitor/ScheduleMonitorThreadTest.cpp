// The monitor thread on a simulated clock: when it posts what, and that
// what it posts stays valid.

#include <gtest/gtest.h>

#include <memory>

#include "platform/loop/EventLoop.h"
#include "service/messages/LoopWindowPoster.h"
#include "service/messages/ServiceMessages.h"
#include "service/monitor/ScheduleMonitor.h"
#include "service/schedule/ScheduleFile.h"
#include "tests/service/monitor/MonitorTestSupport.h"

namespace TESKTV::SCHEDULE {
namespace {

namespace platform = quorvane::platform;
using namespace std::chrono_literals;
using SERVICE::TESK_ACTIVE_AP;
using SERVICE::TESK_ACTIVE_SCHEDULE;
using testing::Local;
using testing::MakeSchedule;
using testing::WallAt;

class ScheduleMonitorThreadTest : public ::testing::Test, private testing::BerlinTimePinned {
 protected:
  // Monday 2026-06-01, two minutes before the schedules of these tests.
  ScheduleMonitorThreadTest() : clock_(WallAt(Local(2026, 6, 1, 19, 58, 0))), folder_(clock_), window_(clock_) {}

  void Store(const std::vector<ScheduleProgram>& records) {
    ASSERT_TRUE(ScheduleFile(folder_.ScheduleFile()).Save(records));
  }

  std::unique_ptr<ScheduleMonitor> Open(bool is64BitSystem = false,
                                        SERVICE::WindowPoster* window = nullptr) {
    MonitorOptions options;
    options.clock = &clock_;
    options.log = &folder_.log();
    options.is64BitSystem = is64BitSystem;
    return std::make_unique<ScheduleMonitor>(window != nullptr ? *window : window_, folder_.ScheduleFile(),
                                             options);
  }

  // Seconds from `start` to when the entry was posted.
  static double SecondsAfter(const testing::RecordingWindow::Entry& entry, std::int64_t start) {
    return std::chrono::duration<double>(entry.wall - WallAt(start)).count();
  }

  const std::int64_t start_ = Local(2026, 6, 1, 20, 0);
  platform::SimulatedClock clock_;
  testing::ServiceFolder folder_;
  testing::RecordingWindow window_;
};

TEST_F(ScheduleMonitorThreadTest, PreparesAMinuteBeforeTheStartAndActivatesAtTheStart) {
  Store({MakeSchedule("daily", DAILY, Local(2026, 5, 4, 20, 0), 30)});
  auto monitor = Open();
  ASSERT_TRUE(monitor->StartMonitor());
  clock_.Advance(3min);

  const auto prepare = window_.Of(TESK_ACTIVE_AP);
  ASSERT_FALSE(prepare.empty());
  EXPECT_EQ(SecondsAfter(prepare.front(), start_), -60.0);
  for (const auto& entry : prepare) {
    EXPECT_LT(SecondsAfter(entry, start_), 0.0);
    EXPECT_EQ(entry.message.wParam, 0u);
    ASSERT_NE(entry.message.record, nullptr);
    EXPECT_EQ(entry.message.record->GetID(), "daily");
  }
  // The passes come closer together towards the minute: the last one half
  // a second before the start.
  EXPECT_EQ(SecondsAfter(prepare.back(), start_), -0.5);

  const auto activate = window_.Of(TESK_ACTIVE_SCHEDULE);
  ASSERT_EQ(activate.size(), 1u);
  EXPECT_EQ(SecondsAfter(activate.front(), start_), 0.0);
  EXPECT_EQ(activate.front().message.record->GetID(), "daily");
  EXPECT_EQ(window_.Entries().size(), prepare.size() + 1);

  EXPECT_TRUE(monitor->CancelMonitor());
  for (const char* line : {"[Wakeward][ScheduleMonitor][StartMonitor] b = 1", "[Wakeward][ScheduleMonitor][Run] 2",
                           "[Wakeward][ScheduleMonitor][Run] 2: lTimer = 0", "[Wakeward][ScheduleMonitor][Run] 1",
                           "[Wakeward][ScheduleMonitor][Run] 1: lTimer = 0",
                           "[Wakeward][ScheduleMonitor][CancelMonitor] b = 1"}) {
    EXPECT_TRUE(folder_.Logged(line)) << line;
  }
}

TEST_F(ScheduleMonitorThreadTest, ActivatesEveryDueScheduleInListOrderHalfASecondApart) {
  ScheduleProgram off = MakeSchedule("off", ONCE, start_, 30, {}, "Other Box");
  off.SetEnable(0);
  Store({MakeSchedule("first", ONCE, start_, 30), off, MakeSchedule("second", ONCE, start_, 30, {}, "Satellite Box")});
  auto monitor = Open();
  ASSERT_TRUE(monitor->StartMonitor());
  clock_.Advance(150s);

  const auto activate = window_.Of(TESK_ACTIVE_SCHEDULE);
  ASSERT_EQ(activate.size(), 2u);
  EXPECT_EQ(activate[0].message.record->GetID(), "first");
  EXPECT_EQ(activate[1].message.record->GetID(), "second");
  EXPECT_EQ(SecondsAfter(activate[0], start_), 0.0);
  EXPECT_EQ(SecondsAfter(activate[1], start_), 0.5);
  EXPECT_TRUE(folder_.Logged("[Wakeward][ScheduleMonitor][Run] 1: lTimer = 1"));
  // Preparation is for the first due record only.
  for (const auto& entry : window_.Of(TESK_ACTIVE_AP)) EXPECT_EQ(entry.message.record->GetID(), "first");
}

TEST_F(ScheduleMonitorThreadTest, OnA64BitSystemThePassesAreASecondApartAtLeast) {
  Store({MakeSchedule("daily", DAILY, Local(2026, 5, 4, 20, 0), 30)});
  auto monitor = Open(true);
  ASSERT_TRUE(monitor->StartMonitor());
  clock_.Advance(3min);
  const auto prepare = window_.Of(TESK_ACTIVE_AP);
  ASSERT_GE(prepare.size(), 2u);
  EXPECT_GE(SecondsAfter(prepare.front(), start_), -60.0);
  EXPECT_LT(SecondsAfter(prepare.front(), start_), -58.0);
  for (std::size_t i = 1; i < prepare.size(); ++i) {
    EXPECT_GE(SecondsAfter(prepare[i], start_) - SecondsAfter(prepare[i - 1], start_), 1.0) << i;
  }
  const auto activate = window_.Of(TESK_ACTIVE_SCHEDULE);
  ASSERT_EQ(activate.size(), 1u);
  EXPECT_GE(SecondsAfter(activate.front(), start_), 0.0);
  EXPECT_LT(SecondsAfter(activate.front(), start_), 1.0);
}

TEST_F(ScheduleMonitorThreadTest, AWallClockThatJumpsPastTheStartIsNoticedWithinHalfASecond) {
  clock_.SetWall(WallAt(Local(2026, 6, 1, 12, 0, 0)));
  Store({MakeSchedule("evening", ONCE, start_, 30)});
  auto monitor = Open();
  ASSERT_TRUE(monitor->StartMonitor());
  clock_.Advance(10s);
  // A resume: the wall clock moves on by hours, the monotonic clock not.
  clock_.SetWall(WallAt(start_ + 5));
  clock_.Advance(500ms);
  const auto activate = window_.Of(TESK_ACTIVE_SCHEDULE);
  ASSERT_EQ(activate.size(), 1u);
  EXPECT_EQ(SecondsAfter(activate.front(), start_), 5.5);
}

TEST_F(ScheduleMonitorThreadTest, DisabledAndLongPastSchedulesAreNeverPosted) {
  ScheduleProgram off = MakeSchedule("off", DAILY, Local(2026, 5, 4, 20, 0), 30);
  off.SetEnable(0);
  Store({off});
  auto monitor = Open();
  // Loaded after its start has passed by 45 seconds, a ONCE schedule is
  // no longer due.
  ScheduleProgram late = MakeSchedule("late", ONCE, testing::SecondsOf(clock_.Wall()) + 60, 30);
  ASSERT_EQ(monitor->AddSchedule(&late), "");
  clock_.SetWall(WallAt(testing::SecondsOf(clock_.Wall()) + 105));
  ASSERT_TRUE(monitor->StartMonitor());
  clock_.Advance(5min);
  EXPECT_TRUE(window_.Entries().empty());
}

TEST_F(ScheduleMonitorThreadTest, TheThreadSeesEachChangeAtItsNextPass) {
  auto monitor = Open();
  ASSERT_TRUE(monitor->StartMonitor());
  clock_.Advance(10s);
  ScheduleProgram added = MakeSchedule("added", DAILY, Local(2026, 5, 4, 20, 0), 30);
  ASSERT_EQ(monitor->AddSchedule(&added), "");
  clock_.Advance(std::chrono::seconds(start_ - 30) - clock_.Wall().time_since_epoch());  // to 19:59:30
  ASSERT_FALSE(window_.Of(TESK_ACTIVE_AP).empty());
  // Removed before its start: no activation.
  ASSERT_TRUE(monitor->RemoveSchedule("added"));
  clock_.Advance(2min);
  EXPECT_TRUE(window_.Of(TESK_ACTIVE_SCHEDULE).empty());
}

TEST_F(ScheduleMonitorThreadTest, PostedRecordsStayValidAfterTheMonitorIsReplaced) {
  Store({MakeSchedule("once", ONCE, start_, 30)});
  auto monitor = Open();
  ASSERT_TRUE(monitor->StartMonitor());
  clock_.Advance(150s);
  // The window reloads: the old monitor goes, the file changes.
  monitor.reset();
  {
    auto next = Open();
    ASSERT_TRUE(next->RemoveSchedule("once"));
  }
  const auto activate = window_.Of(TESK_ACTIVE_SCHEDULE);
  ASSERT_EQ(activate.size(), 1u);
  EXPECT_EQ(activate.front().message.record->GetID(), "once");
  EXPECT_EQ(activate.front().message.record->GetDTime(), start_);
}

TEST_F(ScheduleMonitorThreadTest, StartsOnceAndStopsAnyTime) {
  auto monitor = Open();
  EXPECT_TRUE(monitor->CancelMonitor());
  EXPECT_TRUE(monitor->StartMonitor());
  EXPECT_TRUE(monitor->IsRunning());
  EXPECT_FALSE(monitor->StartMonitor());
  EXPECT_TRUE(folder_.Logged("[Wakeward][ScheduleMonitor][StartMonitor] b = 0"));
  clock_.Advance(1min);
  EXPECT_TRUE(monitor->CancelMonitor());
  EXPECT_FALSE(monitor->IsRunning());
  EXPECT_TRUE(monitor->StartMonitor());
  clock_.Advance(1min);
}

TEST_F(ScheduleMonitorThreadTest, MessagesReachTheWindowThroughItsEventLoop) {
  auto loop = platform::EventLoop::Create(clock_);
  ASSERT_TRUE(loop.ok());
  std::vector<std::pair<std::uint32_t, double>> handled;
  SERVICE::LoopWindowPoster poster(**loop, [&](const SERVICE::PostedMessage& message) {
    handled.emplace_back(message.message, std::chrono::duration<double>(clock_.Wall() - WallAt(start_)).count());
  });
  Store({MakeSchedule("daily", DAILY, Local(2026, 5, 4, 20, 0), 30)});
  auto monitor = Open(false, &poster);
  ASSERT_TRUE(monitor->StartMonitor());
  clock_.Advance(3min);
  ASSERT_FALSE(handled.empty());
  EXPECT_EQ(handled.front(), std::make_pair(TESK_ACTIVE_AP, -60.0));
  EXPECT_EQ(handled.back(), std::make_pair(TESK_ACTIVE_SCHEDULE, 0.0));
  monitor.reset();
}

}  // namespace
}  // namespace TESKTV::SCHEDULE
