#include "service/recording/RecordingSequence.h"

#include <gtest/gtest.h>

#include "common/settings/SettingsStore.h"
#include "platform/clock/SimulatedClock.h"
#include "platform/session/FakeConsoleUserProvider.h"
#include "tests/service/monitor/MonitorTestSupport.h"
#include "tools/TestCmd/RecordingCommandLine.h"

namespace TESKTV::SERVICE {
namespace {

namespace platform = quorvane::platform;
using namespace std::chrono_literals;
using SCHEDULE::ScheduleProgram;
using SCHEDULE::testing::Local;
using SCHEDULE::testing::WallAt;

// The window side: box control takes `boxSeconds` of the clock; every
// call is recorded.
class FakeWindow final : public RecordingWindow {
 public:
  explicit FakeWindow(platform::SimulatedClock& clock) : clock_(clock) {}

  bool InitializeBox(const ScheduleProgram& record) override {
    boxCalls.push_back(record.GetID());
    clock_.Advance(std::chrono::seconds(boxSeconds));
    return occupiedAtBox;
  }
  bool StoreRecord(const ScheduleProgram& record) override {
    stored.push_back(record.GetRecordStatus());
    return true;
  }
  std::optional<bool> IsDeviceOccupied(int) override {
    ++occupiedQuestions;
    return occupiedAtStart;
  }
  bool HasApControl() const override { return apControl; }
  void ActiveScheduleProgram(const ScheduleProgram& record) override { activated.push_back(record.GetID()); }
  void StartWaitTimer() override { waitTimer = true; }
  void KillWaitTimer() override { waitTimer = false; }
  void SetSleepTime(std::int32_t category, std::int32_t seconds) override { sleeps.push_back({category, seconds}); }
  void RecordingStarted(std::int64_t end) override { recordingEnds.push_back(end); }

  int boxSeconds = 12;
  bool occupiedAtBox = false;
  std::optional<bool> occupiedAtStart = false;
  bool apControl = true;
  bool waitTimer = false;
  int occupiedQuestions = 0;
  std::vector<std::string> boxCalls;
  std::vector<std::int32_t> stored;
  std::vector<std::string> activated;
  std::vector<std::pair<std::int32_t, std::int32_t>> sleeps;
  std::vector<std::int64_t> recordingEnds;

 private:
  platform::SimulatedClock& clock_;
};

class RecordingSequenceTest : public ::testing::Test, private SCHEDULE::testing::BerlinTimePinned {
 protected:
  RecordingSequenceTest()
      : start_(Local(2026, 6, 1, 20, 0, 0)),
        clock_(WallAt(start_ - 50)),
        folder_(clock_),
        users_(platform::ConsoleUser{1000, "anna", "/home/anna", "S-1-22-1-1000"}) {
    const quorvane::SettingsStore store(platform::RegistryLocations::FromEnvironment());
    store.WriteString(platform::Hive::LocalMachine, "SOFTWARE\\Quorvane", "AppPath", "/opt/quorvane/bin");
    Reset();
  }

  // A fresh window, launcher and sequence.
  void Reset() {
    sequence_.reset();
    window_ = std::make_unique<FakeWindow>(clock_);
    launcher_ = std::make_unique<platform::RecordingLauncher>();
    sequence_ = std::make_unique<RecordingSequence>(*window_, clock_, folder_.log(),
                                                    platform::RegistryLocations::FromEnvironment(), users_, *launcher_);
  }

  ScheduleProgram Schedule(std::string id = "SI_news", std::int32_t timelen = 30, std::int32_t eAction = 5) {
    ScheduleProgram record = SCHEDULE::testing::MakeSchedule(std::move(id), SCHEDULE::ONCE, start_, timelen);
    record.SetRecord("/srv/rec", "", 0);
    record.SetEAction(eAction);
    return record;
  }

  std::int64_t Now() const { return SCHEDULE::testing::SecondsOf(clock_.Wall()); }

  // Runs window timer 4 second by second for `seconds`.
  void RunWaitTimer(int seconds) {
    for (int i = 0; i < seconds; ++i) {
      clock_.Advance(1s);
      if (window_->waitTimer) sequence_->OnWaitTimer();
    }
  }

  std::vector<std::string> LaunchedLines() const {
    std::vector<std::string> lines;
    for (const auto& launched : launcher_->Launches()) {
      EXPECT_EQ(launched.request.program, "/opt/quorvane/bin/TestCmd");
      EXPECT_EQ(launched.user.name, "anna");
      EXPECT_EQ(launched.request.args.size(), 1u);
      lines.push_back(launched.request.args.empty() ? std::string() : launched.request.args[0]);
    }
    return lines;
  }

  std::int64_t LaunchedLimit() const {
    const auto lines = LaunchedLines();
    if (lines.empty()) return -1;
    auto parsed = quorvane::tools::testcmd::ParseRecordingCommandLine({"TestCmd", lines.back()});
    return parsed ? parsed->limitSeconds : -1;
  }

  const std::int64_t start_;
  platform::SimulatedClock clock_;
  SCHEDULE::testing::ServiceFolder folder_;
  platform::FakeConsoleUserProvider users_;
  std::unique_ptr<platform::RecordingLauncher> launcher_;
  std::unique_ptr<FakeWindow> window_;
  std::unique_ptr<RecordingSequence> sequence_;
};

TEST_F(RecordingSequenceTest, BoxControlTimeDecidesTheLimitAndTheStart) {
  struct Case {
    int boxSeconds;
    std::int64_t limit;
    bool waits;
  };
  for (const Case c : {Case{70, 30 * 60 - 70 + 60, false}, Case{56, 1800, false}, Case{55, 1800, true},
                       Case{12, 1800, true}}) {
    SCOPED_TRACE(c.boxSeconds);
    Reset();
    window_->boxSeconds = c.boxSeconds;
    const std::int64_t t0 = Now();
    sequence_->OnActiveAP(Schedule());

    EXPECT_EQ(sequence_->LimitSeconds(), c.limit);
    EXPECT_EQ(window_->waitTimer, c.waits);
    if (!c.waits) {
      EXPECT_EQ(LaunchedLimit(), c.limit);
      continue;
    }
    // One minute after the preparation began, not before.
    EXPECT_EQ(sequence_->RecordStartTime(), t0 + 60);
    EXPECT_TRUE(launcher_->Launches().empty());
    RunWaitTimer(60 - c.boxSeconds - 1);
    EXPECT_TRUE(launcher_->Launches().empty());
    RunWaitTimer(1);
    EXPECT_EQ(Now(), t0 + 60);
    EXPECT_EQ(LaunchedLimit(), c.limit);
    EXPECT_FALSE(window_->waitTimer);
  }
}

TEST_F(RecordingSequenceTest, APreparationMarksTheScheduleStartedAndIgnoresRepeats) {
  sequence_->OnActiveAP(Schedule());
  sequence_->OnActiveAP(Schedule());
  EXPECT_EQ(window_->boxCalls.size(), 1u);
  EXPECT_EQ(window_->stored, std::vector<std::int32_t>{1});
  EXPECT_TRUE(sequence_->Preparing());
  EXPECT_TRUE(folder_.Logged("[Wakeward][CScheduleWnd][WindowProc] InitializeBox: 1 12 0 0"));
  EXPECT_TRUE(folder_.Logged("[Wakeward][CScheduleWnd][WindowProc] TimeSpan: 12"));
  EXPECT_TRUE(folder_.Logged("[Wakeward][CScheduleWnd][WindowProc] TESK_ACTIVE_AP:  " + sequence_->CommandLine()));

  RunWaitTimer(48);
  EXPECT_TRUE(folder_.Logged("[Wakeward][CScheduleWnd][StartToRec]"));
  EXPECT_TRUE(folder_.Logged("[Wakeward][CScheduleWnd][WindowProc] Test AP: /opt/quorvane/bin/TestCmd"));
  EXPECT_TRUE(folder_.Logged("[Wakeward][CScheduleWnd][OnTimer] Wait for Rec"));

  ScheduleProgram started = Schedule();
  started.SetRecordStatus(1);
  sequence_->OnActiveSchedule(started);
  sequence_->OnActiveSchedule(started);  // the monitor's repeat
  EXPECT_FALSE(sequence_->Preparing());
  EXPECT_EQ(window_->activated, std::vector<std::string>{"SI_news"});
  EXPECT_EQ(launcher_->Launches().size(), 1u);
  EXPECT_EQ(window_->recordingEnds, std::vector<std::int64_t>{Now() + 1800});
}

TEST_F(RecordingSequenceTest, AnOccupiedDeviceIsAskedAgainAtTheStart) {
  struct Case {
    std::optional<bool> occupiedAtStart;
    std::vector<std::int32_t> stored;
    std::size_t launches;
    std::size_t activated;
    bool flagsAfter;
  };
  const Case cases[] = {
      {true, {1, 2}, 0, 0, false},  // still occupied: skipped, no event
      {false, {1}, 1, 1, false},    // free now: recorded at the start
      {std::nullopt, {1}, 0, 0, true},  // the device cannot be reached: nothing changes
  };
  for (const Case& c : cases) {
    Reset();
    window_->occupiedAtBox = true;
    window_->occupiedAtStart = c.occupiedAtStart;
    sequence_->OnActiveAP(Schedule());
    EXPECT_FALSE(window_->waitTimer);
    EXPECT_TRUE(launcher_->Launches().empty());
    sequence_->OnActiveSchedule(Schedule());
    EXPECT_EQ(window_->occupiedQuestions, 1);
    EXPECT_EQ(window_->stored, c.stored);
    EXPECT_EQ(launcher_->Launches().size(), c.launches);
    EXPECT_EQ(window_->activated.size(), c.activated);
    EXPECT_EQ(sequence_->DeviceOccupied(), c.flagsAfter);
    EXPECT_EQ(sequence_->Preparing(), c.flagsAfter);
  }
}

TEST_F(RecordingSequenceTest, ASkippedScheduleIsNeverActivated) {
  ScheduleProgram skipped = Schedule();
  skipped.SetRecordStatus(2);
  sequence_->OnActiveSchedule(skipped);
  EXPECT_TRUE(window_->activated.empty());
  EXPECT_TRUE(folder_.Logged("[Wakeward][CScheduleWnd][WindowProc] TESK_ACTIVE_SCHEDULE: event"));
}

TEST_F(RecordingSequenceTest, TheWakeUpRecordRecordsOneMinuteWithoutAnEvent) {
  ScheduleProgram wakeUp = Schedule(std::string(SCHEDULE::kWakeUpOnlyId), 1);
  wakeUp.SetAction(SCHEDULE::kWakeUpAction);
  sequence_->OnActiveAP(wakeUp);
  RunWaitTimer(48);
  sequence_->OnActiveSchedule(wakeUp);
  EXPECT_EQ(window_->boxCalls, std::vector<std::string>{std::string(SCHEDULE::kWakeUpOnlyId)});
  EXPECT_EQ(LaunchedLimit(), 60);
  EXPECT_TRUE(window_->activated.empty());
  EXPECT_TRUE(window_->sleeps.empty());
}

TEST_F(RecordingSequenceTest, TheAfterRecordActionFollowsEAction) {
  using Sleeps = std::vector<std::pair<std::int32_t, std::int32_t>>;
  const std::pair<std::int32_t, Sleeps> cases[] = {
      {0, {{0, 30 * 60 + 5}}}, {1, {{1, 30 * 60 + 5}}}, {3, {{3, 30 * 60 + 30}}},
      {2, {}},                 {4, {}},                 {5, {}},
  };
  for (const auto& [eAction, sleeps] : cases) {
    SCOPED_TRACE(eAction);
    Reset();
    window_->boxSeconds = 60;
    sequence_->OnActiveAP(Schedule("SI_news", 30, eAction));
    EXPECT_EQ(window_->sleeps, sleeps);
  }
}

TEST_F(RecordingSequenceTest, NobodyAtTheConsoleStartsNothingButTheActionIsArmed) {
  users_.Set(std::nullopt);
  window_->boxSeconds = 60;
  sequence_->OnActiveAP(Schedule("SI_news", 30, 0));
  EXPECT_TRUE(launcher_->Launches().empty());
  EXPECT_EQ(window_->sleeps.size(), 1u);
  EXPECT_FALSE(sequence_->LaunchInConsoleSession("", false, "x"));
}

}  // namespace
}  // namespace TESKTV::SERVICE
