#include "service/power/PowerManager.h"

#include <gtest/gtest.h>

#include "platform/clock/SimulatedClock.h"
#include "platform/loop/EventLoop.h"
#include "platform/session/FakeConsoleUserProvider.h"
#include "service/messages/LoopWindowPoster.h"
#include "service/power/AwakeFallbackWakeTimers.h"
#include "tests/service/monitor/MonitorTestSupport.h"
#include "tests/support/FakeWakeTimer.h"

namespace TESKTV::SERVICE {
namespace {

namespace platform = quorvane::platform;
using namespace std::chrono_literals;
using SCHEDULE::testing::Local;
using SCHEDULE::testing::SecondsOf;
using SCHEDULE::testing::WallAt;

class FakePower final : public PowerSystem {
 public:
  platform::Status Suspend() override { return Call("Suspend"); }
  platform::Status Hibernate() override { return Call("Hibernate"); }
  platform::Status PowerOff() override { return Call("PowerOff"); }
  platform::Status LogOff(const platform::ConsoleUser& user) override { return Call("LogOff " + user.name); }
  platform::Status HoldSleepBlock(bool hold) override {
    block = hold;
    return Call(hold ? "block" : "unblock");
  }
  platform::Status HoldSleepDelay(bool hold) override {
    delay = hold;
    return platform::Status::Ok();
  }
  platform::Status ProgramFirmwareAlarm(std::optional<platform::WallTime> due) override {
    alarm = due;
    return platform::Status::Ok();
  }
  void OnPrepareForSleep(SleepHandler h) override { handler = std::move(h); }

  // The power actions only, without the lock changes.
  std::vector<std::string> Actions() const {
    std::vector<std::string> actions;
    for (const std::string& call : calls) {
      if (call != "block" && call != "unblock") actions.push_back(call);
    }
    return actions;
  }

  std::vector<std::string> calls;
  bool block = false;
  bool delay = false;
  std::optional<platform::WallTime> alarm;
  SleepHandler handler;

 private:
  platform::Status Call(std::string call) {
    calls.push_back(std::move(call));
    return platform::Status::Ok();
  }
};

class FakeWakeSetting final : public WakeSetting {
 public:
  platform::Result<bool> Read() const override { return enabled; }
  platform::Status AllowForSleep() override {
    if (!enabled) changed = true;
    enabled = true;
    return platform::Status::Ok();
  }
  bool ChangedBySelf() const override { return changed; }
  platform::Status Restore() override {
    if (changed) enabled = false;
    changed = false;
    return platform::Status::Ok();
  }
  bool enabled = false;
  bool changed = false;
};

class PowerManagerTest : public ::testing::Test, private SCHEDULE::testing::BerlinTimePinned {
 protected:
  PowerManagerTest()
      : start_(Local(2026, 6, 1, 21, 0, 0)),
        clock_(WallAt(start_)),
        folder_(clock_),
        loop_(platform::EventLoop::Create(clock_).value()),
        wakeTimers_(clock_),
        fallback_(wakeTimers_, folder_.log()),
        users_(platform::ConsoleUser{1000, "anna", "/home/anna", "S-1-22-1-1000"}),
        poster_(*loop_, [this](const PostedMessage& message) {
          if (const auto kind = TimerKindOfMessage(message.message)) manager_->OnTimerMessage(*kind);
        }) {
    PowerManager::Dependencies deps;
    deps.loop = loop_.get();
    deps.window = &poster_;
    deps.timerOwner = 1;
    deps.log = &folder_.log();
    deps.wakeTimers = &fallback_;
    deps.power = &power_;
    deps.wakeSetting = &setting_;
    deps.consoleUsers = &users_;
    deps.countDownSec = 60;
    PowerManager::Hooks hooks;
    hooks.nearestTime = [this] { return nearest_; };
    hooks.invokeRemainTime = [this](std::int32_t category, std::int32_t seconds) {
      remain_.push_back({category, seconds});
    };
    hooks.invokeCloseAP = [this] { ++closeAP_; };
    manager_ = std::make_unique<PowerManager>(deps, hooks);
  }
  ~PowerManagerTest() override { manager_.reset(); }

  std::int64_t Now() const { return SecondsOf(clock_.Wall()); }
  // The wake-up timer's arming, if one is armed now.
  std::optional<std::int64_t> ArmedWakeUp() const {
    for (const auto& arming : wakeTimers_.Armed()) {
      if (arming.name == "TeskUserTimer6") return SecondsOf(arming.due);
    }
    return std::nullopt;
  }

  const std::int64_t start_;
  platform::SimulatedClock clock_;
  SCHEDULE::testing::ServiceFolder folder_;
  std::unique_ptr<platform::EventLoop> loop_;
  quorvane::testing::FakeWakeTimerFactory wakeTimers_;
  AwakeFallbackWakeTimers fallback_;
  platform::FakeConsoleUserProvider users_;
  FakePower power_;
  FakeWakeSetting setting_;
  std::optional<std::int64_t> nearest_;  // nothing: no monitor
  std::vector<std::pair<std::int32_t, std::int32_t>> remain_;
  int closeAP_ = 0;
  LoopWindowPoster poster_;
  std::unique_ptr<PowerManager> manager_;
};

TEST_F(PowerManagerTest, ShutDownAfterAnHourCountsDownTheLastMinuteToTheQuickControl) {
  manager_->SetSleepTime(3, 3630);
  clock_.Advance(3569s);
  EXPECT_TRUE(remain_.empty());
  EXPECT_EQ(manager_->GetSleepTime().category, 3);
  EXPECT_EQ(manager_->GetSleepTime().seconds, 1 + 60);

  clock_.Advance(1s);  // the timer fires after 3570 s
  EXPECT_TRUE(folder_.Logged("[Wakeward][CScheduleWnd][WindowProc] set timer to sleep ..."));
  clock_.Advance(59s);
  ASSERT_EQ(remain_.size(), 59u);
  for (std::size_t i = 0; i < remain_.size(); ++i) {
    EXPECT_EQ(remain_[i], (std::pair<std::int32_t, std::int32_t>{3, static_cast<std::int32_t>(59 - i)}));
  }
  EXPECT_TRUE(power_.Actions().empty());
  EXPECT_TRUE(folder_.Logged("[Wakeward][CScheduleWnd][OnTimer] Countdow: 1"));

  clock_.Advance(1s);
  EXPECT_EQ(Now(), start_ + 3630);
  EXPECT_EQ(power_.Actions(), std::vector<std::string>{"PowerOff"});
  EXPECT_EQ(remain_.size(), 59u);
  EXPECT_FALSE(manager_->CountdownFirst());
  EXPECT_EQ(manager_->SleepActionTimer(), nullptr);
  EXPECT_TRUE(folder_.Logged("[Wakeward][CScheduleWnd][ShutDown] Entry"));
}

TEST_F(PowerManagerTest, AnActionShorterThanTheCountdownRunsWithoutOne) {
  manager_->SetSleepTime(0, 30);
  clock_.Advance(29s);
  EXPECT_TRUE(power_.Actions().empty());
  clock_.Advance(1s);
  EXPECT_EQ(power_.Actions(), std::vector<std::string>{"Suspend"});
  EXPECT_TRUE(remain_.empty());
  EXPECT_TRUE(folder_.Logged("[Wakeward][CScheduleWnd][WindowProc] call NotifyRemainProc .."));
}

TEST_F(PowerManagerTest, CancellingDuringTheCountdownStopsIt) {
  manager_->SetSleepTime(1, 120);
  clock_.Advance(70s);
  EXPECT_EQ(remain_.size(), 10u);
  manager_->CancelSleepTime();
  clock_.Advance(600s);
  EXPECT_EQ(remain_.size(), 10u);
  EXPECT_TRUE(power_.Actions().empty());
  EXPECT_EQ(manager_->GetSleepTime().seconds, 0);
}

TEST_F(PowerManagerTest, AMessageOfACancelledTimerDoesNothing) {
  manager_->SetSleepTime(0, 10);
  clock_.Advance(10s);
  EXPECT_EQ(power_.Actions(), std::vector<std::string>{"Suspend"});
  manager_->SetSleepTime(0, 10);
  manager_->CancelSleepTime();
  manager_->OnTimerMessage(TimerKind::kStandby);  // was queued before the cancel
  clock_.Advance(20s);
  EXPECT_EQ(power_.Actions(), std::vector<std::string>{"Suspend"});
}

TEST_F(PowerManagerTest, EachCategoryDoesItsActionAndFiveAndSevenDoNothing) {
  const std::pair<std::int32_t, std::vector<std::string>> cases[] = {
      {0, {"Suspend"}}, {1, {"Hibernate"}}, {2, {"LogOff anna"}}, {3, {"PowerOff"}}, {4, {}}, {5, {}}, {7, {}},
  };
  for (const auto& [category, actions] : cases) {
    SCOPED_TRACE(category);
    power_.calls.clear();
    closeAP_ = 0;
    manager_->SetSleepTime(category, 10);
    EXPECT_EQ(manager_->SleepActionTimer() != nullptr, category <= 4);
    clock_.Advance(11s);
    EXPECT_EQ(power_.Actions(), actions);
    EXPECT_EQ(closeAP_, category == 4 ? 1 : 0);
  }
}

TEST_F(PowerManagerTest, ASuspendQueryIsRefusedWhenAScheduleIsDueWithin150Seconds) {
  nearest_ = start_ + 100;
  EXPECT_EQ(manager_->DoPowerBroadcast(PowerEvent::kQuerySuspend), PowerManager::kRefuse);
  EXPECT_FALSE(ArmedWakeUp());

  nearest_ = start_ + 200;
  EXPECT_EQ(manager_->DoPowerBroadcast(PowerEvent::kQuerySuspend), 0);
  clock_.RunDue();
  EXPECT_EQ(ArmedWakeUp(), start_ + 80);
  EXPECT_TRUE(folder_.Logged("[Wakeward][CScheduleWnd][CreateTimer] AC wakeup Enable OK! "));
}

TEST_F(PowerManagerTest, NoScheduleAheadOrNoMonitorArmsNoWakeUp) {
  for (std::optional<std::int64_t> nearest : {std::optional<std::int64_t>(), std::optional<std::int64_t>(0)}) {
    nearest_ = nearest;
    EXPECT_EQ(manager_->DoPowerBroadcast(PowerEvent::kSuspend), 0);
    clock_.RunDue();
    EXPECT_FALSE(ArmedWakeUp());
    EXPECT_EQ(manager_->WakeUpTimer(), nullptr);
  }
  // After a recording too.
  manager_->SetSleepTime(0, 10);
  clock_.Advance(10s);
  EXPECT_EQ(power_.Actions(), std::vector<std::string>{"Suspend"});
  EXPECT_FALSE(ArmedWakeUp());
}

TEST_F(PowerManagerTest, TheActionArmsTheWakeUpForTheNextScheduleAndTheFirmwareAlarm) {
  nearest_ = start_ + 7200;
  manager_->SetSleepTime(1, 10);
  clock_.Advance(10s);
  EXPECT_EQ(power_.Actions(), std::vector<std::string>{"Hibernate"});
  EXPECT_EQ(ArmedWakeUp(), start_ + 7200 - 120);
  ASSERT_TRUE(power_.alarm);
  EXPECT_EQ(SecondsOf(*power_.alarm), start_ + 7200 - 120);
}

TEST_F(PowerManagerTest, TheSleepLocksFollowTheSchedulesAndTheSleepFrame) {
  nearest_ = start_ + 200;
  manager_->Start();
  EXPECT_TRUE(power_.delay);
  EXPECT_FALSE(power_.block);
  clock_.Advance(45s);
  EXPECT_FALSE(power_.block);
  clock_.Advance(10s);  // 145 s ahead, seen at the next check
  EXPECT_TRUE(power_.block);
  nearest_ = 0;  // the schedule was removed
  clock_.Advance(5s);
  EXPECT_FALSE(power_.block);

  manager_->RecordingRunsUntil(Now() + 600);
  EXPECT_TRUE(power_.block);
  clock_.Advance(605s);
  EXPECT_FALSE(power_.block);

  nearest_ = Now() + 1000;
  ASSERT_TRUE(power_.handler);
  power_.handler(true);
  const std::int64_t suspendedAt = Now();
  clock_.RunDue();
  EXPECT_EQ(ArmedWakeUp(), suspendedAt + 880);
  EXPECT_TRUE(power_.delay);  // until the wake-up is surely armed
  clock_.Advance(1s);
  EXPECT_FALSE(power_.delay);
  EXPECT_TRUE(setting_.enabled);

  power_.handler(false);
  EXPECT_TRUE(power_.delay);
  EXPECT_FALSE(setting_.enabled);
  EXPECT_TRUE(folder_.Logged("[Wakeward][CScheduleWnd][DoPowerBroadcast] AC wakeup Disable OK! "));
}

TEST_F(PowerManagerTest, ATimerThatCannotWakeTheSystemStillFiresWhileAwake) {
  wakeTimers_.SetWakeSupported(false);
  manager_->SetSleepTime(0, 30);
  clock_.Advance(30s);
  EXPECT_EQ(power_.Actions(), std::vector<std::string>{"Suspend"});
  bool logged = false;
  for (const std::string& line : folder_.LogLines()) {
    if (line.find("TeskUserTimer0 cannot wake the system") != std::string::npos) logged = true;
  }
  EXPECT_TRUE(logged);
}

}  // namespace
}  // namespace TESKTV::SERVICE
