#include "service/timer/CTeskTimer.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "tests/service/monitor/MonitorTestSupport.h"
#include "tests/support/FakeWakeTimer.h"

namespace TESKTV::SERVICE {
namespace {

namespace platform = quorvane::platform;
using namespace std::chrono_literals;
using SCHEDULE::testing::Local;
using SCHEDULE::testing::RecordingWindow;
using SCHEDULE::testing::WallAt;

constexpr TimerKind kAllKinds[] = {TimerKind::kStandby, TimerKind::kHibernate, TimerKind::kLogOff,
                                   TimerKind::kShutDown, TimerKind::kCloseAP,  TimerKind::kStartAP,
                                   TimerKind::kWakeUp};

class CTeskTimerTest : public ::testing::Test, private SCHEDULE::testing::BerlinTimePinned {
 protected:
  CTeskTimerTest()
      : start_(Local(2026, 6, 1, 12, 0, 0)),
        clock_(WallAt(start_)),
        folder_(clock_),
        window_(clock_),
        wakeTimers_(clock_) {}

  std::unique_ptr<CTeskTimer> Make(TimerKind kind, std::int64_t seconds) {
    return std::make_unique<CTeskTimer>(kind, seconds, window_, wakeTimers_, clock_, folder_.log());
  }

  const std::int64_t start_;
  platform::SimulatedClock clock_;
  SCHEDULE::testing::ServiceFolder folder_;
  RecordingWindow window_;
  quorvane::testing::FakeWakeTimerFactory wakeTimers_;
};

TEST_F(CTeskTimerTest, EveryKindPostsItsMessageAtItsDueTimeAndWakesTheSystemForIt) {
  std::vector<std::unique_ptr<CTeskTimer>> timers;
  for (TimerKind kind : kAllKinds) timers.push_back(Make(kind, 600));
  clock_.RunDue();

  const auto armings = wakeTimers_.Armings();
  ASSERT_EQ(armings.size(), std::size(kAllKinds));
  std::set<std::string> names;
  for (const auto& arming : armings) {
    names.insert(arming.name);
    EXPECT_EQ(arming.due, WallAt(start_ + 600));
    EXPECT_TRUE(arming.wakeSystem);
  }
  EXPECT_EQ(names, (std::set<std::string>{"TeskUserTimer0", "TeskUserTimer1", "TeskUserTimer2", "TeskUserTimer3",
                                          "TeskUserTimer4", "TeskUserTimer5", "TeskUserTimer6"}));

  clock_.Advance(599s);
  EXPECT_TRUE(window_.Entries().empty());
  EXPECT_EQ(timers.front()->RemainingSeconds(), 1);
  clock_.Advance(1s);
  const auto posted = window_.Entries();
  ASSERT_EQ(posted.size(), std::size(kAllKinds));
  std::set<std::uint32_t> messages;
  for (const auto& entry : posted) {
    messages.insert(entry.message.message);
    EXPECT_EQ(entry.at, start_ + 600);
    EXPECT_EQ(entry.message.wParam, 0u);
    EXPECT_EQ(entry.message.lParam, 0);
    EXPECT_EQ(entry.message.record, nullptr);
  }
  EXPECT_EQ(messages, (std::set<std::uint32_t>{TESK_SLEEP_STANDBY, TESK_SLEEP_HIBERNATE, TESK_SLEEP_LOGOFF,
                                               TESK_SLEEP_SHUTDOWN, TESK_SLEEP_CLOSEAP, TESK_TIME_STARTAP,
                                               TESK_TIME_WAKEUP}));
  for (const auto& timer : timers) {
    EXPECT_TRUE(timer->HasEnded());
    EXPECT_EQ(timer->Message(), TimerMessageOf(timer->Kind()));
  }
  // One shot: nothing more later.
  clock_.Advance(1h);
  EXPECT_EQ(window_.Entries().size(), std::size(kAllKinds));
}

TEST_F(CTeskTimerTest, FiresAtItsWallClockTimeAlsoWhenTheSystemSleptInBetween) {
  auto timer = Make(TimerKind::kWakeUp, 600);
  clock_.Advance(10s);
  // Suspended: the wall clock moves on, the monotonic clock does not.
  clock_.SetWall(WallAt(start_ + 605));
  clock_.RunDue();
  const auto posted = window_.Of(TESK_TIME_WAKEUP);
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted.front().at, start_ + 605);
  EXPECT_EQ(timer->RemainingSeconds(), -5);
}

TEST_F(CTeskTimerTest, WithoutWakingTheSystemTheTimerEndsWithoutPosting) {
  wakeTimers_.SetWakeSupported(false);
  auto timer = Make(TimerKind::kShutDown, 600);
  clock_.Advance(1h);
  EXPECT_TRUE(timer->HasEnded());
  EXPECT_TRUE(wakeTimers_.Armings().empty());
  EXPECT_TRUE(window_.Entries().empty());
}

TEST_F(CTeskTimerTest, DestroyingItBeforeItsTimeCancelsIt) {
  auto timer = Make(TimerKind::kStandby, 600);
  clock_.Advance(300s);
  EXPECT_EQ(timer->RemainingSeconds(), 300);
  EXPECT_FALSE(timer->HasEnded());
  timer.reset();
  EXPECT_TRUE(wakeTimers_.Armed().empty());
  EXPECT_EQ(wakeTimers_.Live(), 0u);
  clock_.Advance(1h);
  EXPECT_TRUE(window_.Entries().empty());
}

TEST_F(CTeskTimerTest, ATimeAlreadyDueFiresAtOnce) {
  auto now = Make(TimerKind::kWakeUp, 0);
  auto past = Make(TimerKind::kStartAP, -30);
  clock_.RunDue();
  ASSERT_EQ(window_.Entries().size(), 2u);
  for (const auto& entry : window_.Entries()) EXPECT_EQ(entry.at, start_);
}

TEST_F(CTeskTimerTest, TheStartAndWakeUpKindsLogTheirSeconds) {
  auto standby = Make(TimerKind::kStandby, 100);
  auto startAP = Make(TimerKind::kStartAP, 200);
  auto wakeUp = Make(TimerKind::kWakeUp, 300);
  EXPECT_FALSE(folder_.Logged("[Wakeward][CTeskTimer][CTeskTimer] TIME_STARTAP: lTimer = 100"));
  EXPECT_TRUE(folder_.Logged("[Wakeward][CTeskTimer][CTeskTimer] TIME_STARTAP: lTimer = 200"));
  EXPECT_TRUE(folder_.Logged("[Wakeward][CTeskTimer][CTeskTimer] TIME_STARTAP: lTimer = 300"));
}

}  // namespace
}  // namespace TESKTV::SERVICE
