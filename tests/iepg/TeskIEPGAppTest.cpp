#include "iepg/TeskIEPGApp.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "iepg/CommandLine.h"
#include "platform/clock/ClockThread.h"
#include "platform/clock/SimulatedClock.h"
#include "platform/debug/DebugOutput.h"
#include "tests/iepg/IepgTestSupport.h"
#include "tests/iepg/SchedulerWindow.h"
#include "tests/support/PrivateBus.h"

namespace quorvane::iepg {
namespace {

using testing::IepgMachine;
using testing::TitanFile;

const testing::ProgramFields kShow{{"program-title", "Show"},   {"tv-mode", "analog"},     {"rf-channel", "5"},
                                   {"start-date", "20260131"}, {"start-time", "14:00"}, {"duration", "00:30"}};

class TeskIEPGAppTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(bus_.ok()) << bus_.error(); }

  AppOptions Options(std::uint32_t randomStart = 100) {
    AppOptions options;
    options.executablePath = [] { return platform::Result<std::string>(testing::kHandlerPath); };
    options.randomStart = [randomStart] { return randomStart; };
    options.desktopDataFolder = machine_.dir().File("share");
    return options;
  }

  int Run(const std::string& commandLine, AppOptions options) {
    CTeskIEPGApp app(machine_.settings(), clock_, messages_, launcher_, std::move(options));
    const int status = app.InitInstance(commandLine);
    recordNumber_ = app.recordNumber();
    handOff_ = app.handOff();
    return status;
  }
  int Run(const std::string& commandLine) { return Run(commandLine, Options()); }

  ::quorvane::testing::PrivateBus bus_;
  IepgMachine machine_;
  platform::SimulatedClock clock_;
  testing::RecordingMessages messages_;
  testing::RecordingLauncher launcher_;
  std::optional<std::int32_t> recordNumber_;
  std::optional<HandOffResult> handOff_;
};

TEST(CommandLineTest, RemainderIsOneArgumentAndOnlyExactSwitchesAreSwitches) {
  const char* split[] = {"TeskIEPG", "/home/ann/My", "Shows/Late", "Show.tvpi"};
  EXPECT_EQ(CommandLineRemainder(4, split), "/home/ann/My Shows/Late Show.tvpi");
  const char* whole[] = {"TeskIEPG", "/home/ann/My Shows/Late Show.tvpi"};
  EXPECT_EQ(CommandLineRemainder(2, whole), "/home/ann/My Shows/Late Show.tvpi");
  const char* none[] = {"TeskIEPG"};
  EXPECT_EQ(CommandLineRemainder(1, none), "");

  EXPECT_EQ(ClassifyCommandLine("/?"), Command::kUsage);
  EXPECT_EQ(ClassifyCommandLine("/R"), Command::kRegister);
  for (const char* path : {"/r", "/R ", " /R", "/?x", "", "/R.tvpi"}) {
    EXPECT_EQ(ClassifyCommandLine(path), Command::kConvertFile) << path;
  }
}

TEST_F(TeskIEPGAppTest, WithoutADataPathNothingHappensAtAll) {
  ASSERT_TRUE(machine_.settings().DeleteValue(Hive::LocalMachine, kIepgKey, kDataPathValue));
  const std::string input = machine_.Download("show.tvpi", TitanFile("tv-program-info", {kShow}));
  for (const std::string& line : {std::string("/?"), std::string("/R"), input}) {
    EXPECT_EQ(Run(line), CTeskIEPGApp::kExitOk) << line;
  }
  EXPECT_TRUE(messages_.texts.empty());
  EXPECT_FALSE(std::filesystem::exists(machine_.dir().File("exchange")));
  EXPECT_FALSE(machine_.settings().KeyExists(Hive::ClassesRoot, ".tvpi"));
}

TEST_F(TeskIEPGAppTest, UserDataPathComesBeforeTheMachineOne) {
  const std::string own = machine_.dir().File("own exchange") + "/";
  ASSERT_TRUE(machine_.settings().WriteString(Hive::CurrentUser, kIepgKey, kDataPathValue, own));
  testing::SchedulerWindow scheduler;
  ASSERT_EQ(Run(machine_.Download("show.tvpi", TitanFile("tv-program-info", {kShow}))), CTeskIEPGApp::kExitOk);
  EXPECT_TRUE(std::filesystem::exists(own + "101.iepg"));
  EXPECT_FALSE(std::filesystem::exists(machine_.dataPath()));
}

TEST_F(TeskIEPGAppTest, UsageAndMissingExecutablePathAreShown) {
  EXPECT_EQ(Run("/?"), CTeskIEPGApp::kExitOk);
  AppOptions noPath = Options();
  noPath.executablePath = [] { return platform::Result<std::string>(platform::MakeError("no /proc")); };
  EXPECT_EQ(Run("/R", std::move(noPath)), CTeskIEPGApp::kExitFailed);
  EXPECT_EQ(messages_.texts, (std::vector<std::string>{"/R: Register TeskiEPG.", "Can't get local directory"}));
  // The exchange folder is made before anything else.
  struct stat info {};
  ASSERT_EQ(::stat(machine_.dir().File("exchange/records").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 01777u);
}

TEST_F(TeskIEPGAppTest, LowerCaseSwitchIsAFilePathAndRegistersNothing) {
  platform::DebugCapture debug;
  EXPECT_EQ(Run("/r"), CTeskIEPGApp::kExitOk);
  EXPECT_FALSE(machine_.settings().KeyExists(Hive::ClassesRoot, ".tvpi"));
  EXPECT_FALSE(debug.Contains("[Entry]CTeskIEPGApp::RegExtensionFileType"));
  EXPECT_TRUE(debug.Contains("not a TitanTV file: /r"));
  EXPECT_TRUE(messages_.texts.empty());
  EXPECT_FALSE(recordNumber_.has_value());
  EXPECT_TRUE(machine_.RecordFiles().empty());

  EXPECT_EQ(Run("/R"), CTeskIEPGApp::kExitOk);
  EXPECT_TRUE(debug.Contains("[Entry]CTeskIEPGApp::RegExtensionFileType"));
  EXPECT_TRUE(machine_.settings().KeyExists(Hive::ClassesRoot, ".tvpi"));
}

TEST_F(TeskIEPGAppTest, RecordRequestIsHandedToTheSchedulerUnderTheNextFreeNumber) {
  testing::SchedulerWindow scheduler;
  std::filesystem::create_directories(machine_.dataPath());
  testing::WriteText(machine_.RecordPath(101), "older");
  testing::WriteText(machine_.RecordPath(102), "older");
  // A path with spaces arrives whole.
  const std::string input = machine_.Download("Late Night Show.tvpi", TitanFile("tv-program-info", {kShow}));
  ASSERT_NE(input.find(' '), std::string::npos);

  ASSERT_EQ(Run(input, Options(100)), CTeskIEPGApp::kExitOk);
  EXPECT_EQ(recordNumber_, 103);
  ASSERT_TRUE(handOff_.has_value());
  EXPECT_EQ(handOff_->outcome, HandOffOutcome::kPosted);
  EXPECT_EQ(handOff_->polls, 0);
  EXPECT_TRUE(launcher_.started.empty());

  const auto& received = scheduler.WaitFor(1);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].message, WM_IEPG_RECORD);
  EXPECT_EQ(received[0].wParam, 0u);
  EXPECT_EQ(received[0].lParam, 103);
  const auto record = testing::ReadRecord(machine_.RecordPath(103));
  EXPECT_EQ(record.at("Title"), "Show");
  EXPECT_EQ(record.at("StartTime/Hour"), "14");
  EXPECT_EQ(testing::ReadText(machine_.RecordPath(101)), "older");
}

TEST_F(TeskIEPGAppTest, WatchRequestIsConvertedButNotHandedOff) {
  testing::SchedulerWindow scheduler;
  ASSERT_EQ(Run(machine_.Download("watch.tvvi", TitanFile("tv-viewer-info", {kShow})), Options(7)),
            CTeskIEPGApp::kExitOk);
  EXPECT_EQ(recordNumber_, 8);
  EXPECT_EQ(handOff_->outcome, HandOffOutcome::kWatchRequest);
  EXPECT_EQ(testing::ReadRecord(machine_.RecordPath(8)).at("Title"), "Show");

  // The next record request's message is the first the window gets.
  ASSERT_EQ(Run(machine_.Download("record.tvpi", TitanFile("tv-program-info", {kShow})), Options(7)),
            CTeskIEPGApp::kExitOk);
  const auto& received = scheduler.WaitFor(1);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].lParam, 9);
}

TEST_F(TeskIEPGAppTest, FailedConversionGivesBackItsNumberAndTellsNobody) {
  testing::SchedulerWindow scheduler;
  const std::string input = machine_.Download("show.tvpi", TitanFile("tv-program-info", {kShow}));
  const std::string bin = machine_.dir().File("bin");
  std::filesystem::create_directories(bin);
  AppOptions options = Options();
  options.executablePath = [bin] { return platform::Result<std::string>(bin + "/TeskIEPG"); };
  EXPECT_EQ(Run(input, std::move(options)), CTeskIEPGApp::kExitFailed);
  EXPECT_FALSE(recordNumber_.has_value());
  EXPECT_FALSE(handOff_.has_value());
  EXPECT_TRUE(machine_.RecordFiles().empty());
  EXPECT_TRUE(messages_.texts.empty());
}

TEST_F(TeskIEPGAppTest, UnreadableDownloadIsStillHandedOffWithAnEmptyRecord) {
  testing::SchedulerWindow scheduler;
  ASSERT_EQ(Run(machine_.Download("broken.tvpi", "<tv-program-info><program>")), CTeskIEPGApp::kExitOk);
  ASSERT_EQ(recordNumber_, 101);
  EXPECT_EQ(std::filesystem::file_size(machine_.RecordPath(101)), 0u);
  EXPECT_EQ(scheduler.WaitFor(1).size(), 1u);
}

// The scheduler is started when its window is missing, and the handler
// looks for the window every 100 ms, 20 times, on the simulated clock.
class SchedulerStartTest : public TeskIEPGAppTest {
 protected:
  struct Outcome {
    std::optional<HandOffResult> handOff;
    std::size_t messages = 0;
  };

  // Runs a record request with the window appearing after `appearAfterPoll` polls.
  Outcome RunWithWindowAfter(int appearAfterPoll) {
    const std::string input = machine_.Download("show.tvpi", TitanFile("tv-program-info", {kShow}));
    std::optional<testing::SchedulerWindow> scheduler;
    std::optional<HandOffResult> result;
    {
      platform::ClockThread handler(clock_, [&] {
        CTeskIEPGApp app(machine_.settings(), clock_, messages_, launcher_, Options());
        (void)app.InitInstance(input);
        result = app.handOff();
      });
      for (int poll = 1; poll <= kSchedulerPolls + 5; ++poll) {
        if (poll - 1 == appearAfterPoll) scheduler.emplace();
        clock_.Advance(kSchedulerPollInterval);
      }
    }
    Outcome outcome;
    outcome.handOff = result;
    const bool posted = result && result->outcome == HandOffOutcome::kPosted;
    outcome.messages = scheduler ? scheduler->WaitFor(posted ? 1 : 0).size() : 0;
    return outcome;
  }
};

TEST_F(SchedulerStartTest, IsStartedFromAppPathAndFoundWhileStillPolling) {
  ASSERT_TRUE(machine_.settings().WriteString(Hive::LocalMachine, kSchedulerKey, kAppPathValue, "/opt/quorvane/bin"));
  const Outcome outcome = RunWithWindowAfter(19);
  EXPECT_EQ(launcher_.started, (std::vector<std::string>{"/opt/quorvane/bin/Velmora Scheduler"}));
  ASSERT_TRUE(outcome.handOff.has_value());
  EXPECT_TRUE(outcome.handOff->schedulerStarted);
  EXPECT_EQ(outcome.handOff->outcome, HandOffOutcome::kPosted);
  EXPECT_EQ(outcome.handOff->polls, 20);
  EXPECT_EQ(outcome.messages, 1u);
}

TEST_F(SchedulerStartTest, WindowAppearingAfterTheTwentiethPollGetsNoMessage) {
  ASSERT_TRUE(machine_.settings().WriteString(Hive::LocalMachine, kSchedulerKey, kAppPathValue, "/opt/quorvane/bin/"));
  const Outcome outcome = RunWithWindowAfter(kSchedulerPolls);
  EXPECT_EQ(launcher_.started, (std::vector<std::string>{"/opt/quorvane/bin/Velmora Scheduler"}));
  ASSERT_TRUE(outcome.handOff.has_value());
  EXPECT_EQ(outcome.handOff->outcome, HandOffOutcome::kNoWindow);
  EXPECT_EQ(outcome.handOff->polls, 20);
  EXPECT_EQ(outcome.messages, 0u);
}

TEST_F(SchedulerStartTest, WithoutAppPathNothingIsStartedButTheWindowIsStillAwaited) {
  const Outcome outcome = RunWithWindowAfter(3);
  EXPECT_TRUE(launcher_.started.empty());
  ASSERT_TRUE(outcome.handOff.has_value());
  EXPECT_FALSE(outcome.handOff->schedulerStarted);
  EXPECT_EQ(outcome.handOff->polls, 4);
  EXPECT_EQ(outcome.handOff->outcome, HandOffOutcome::kPosted);
  EXPECT_EQ(outcome.messages, 1u);
}

}  // namespace
}  // namespace quorvane::iepg
