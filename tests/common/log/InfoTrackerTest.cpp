#include "common/log/InfoTracker.h"

#include <regex>
#include <thread>

#include "LogFixture.h"
#include "common/log/Log.h"
#include "platform/debug/DebugOutput.h"

namespace TESKTV::LOG {
namespace {

class InfoTrackerTest : public LogFixture {
 protected:
  std::string LogFile() const { return Path("LTeskTV_1.log"); }
  Logger* InitFile(int level) { return InitFileLog(level, Path("LTeskTV"), 20480, 1); }
};

TEST_F(InfoTrackerTest, LevelsDecideWhatIsWritten) {
  struct Case {
    int level;
    bool error, info, debug;
  };
  const Case cases[] = {
      {0, false, false, false}, {1, true, false, false}, {2, true, true, false},
      {3, true, true, false},   {4, true, true, true},   {5, true, true, true},
  };
  for (const auto& c : cases) {
    Logger* root = InitFile(c.level);
    ASSERT_NE(root, nullptr);
    LogError(root, "e%d", c.level);
    LogInfo(root, "i%d", c.level);
    LogDebug(root, "d%d", c.level);
    const std::string text = ReadFile(LogFile());
    EXPECT_EQ(text.find("[ERROR] :e") != std::string::npos, c.error) << c.level;
    EXPECT_EQ(text.find("[INFO] :i") != std::string::npos, c.info) << c.level;
    EXPECT_EQ(text.find("[DEBUG] :d") != std::string::npos, c.debug) << c.level;
  }
}

TEST_F(InfoTrackerTest, RootLoggerWritesStampedLines) {
  Logger* root = InitFile(2);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->Name(), "ROOT");
  LogInfo(root, "%s has %d schedules", "list", 3);
  clock_.SetWall(TestStart() + std::chrono::milliseconds(1500));
  LogError(root, "again");
  EXPECT_EQ(Lines(LogFile()), (std::vector<std::string>{
                                  "03/07/09 14:05:09  42 [ROOT                ][INFO] :list has 3 schedules",
                                  "03/07/09 14:05:10 542 [ROOT                ][ERROR] :again",
                              }));
}

TEST_F(InfoTrackerTest, NamedLoggersAreCountedAndFreed) {
  EXPECT_EQ(GetLogger("List"), nullptr);  // no sink yet
  Logger* root = InitFile(1);
  Logger* list = GetLogger("List");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(GetLogger("List"), list);
  EXPECT_EQ(list->References(), 2);
  Logger* editor = GetLogger("Editor");
  EXPECT_NE(editor, list);
  EXPECT_EQ(InfoTracker::Instance().LoggerCount(), 2u);

  LogError(list, "from the list");
  EXPECT_NE(ReadFile(LogFile()).find("[List                ][ERROR] :from the list"), std::string::npos);

  ReleaseLogger(list);
  EXPECT_EQ(list->References(), 1);
  ReleaseLogger(list);
  EXPECT_EQ(InfoTracker::Instance().LoggerCount(), 1u);
  ReleaseLogger(root);  // the root logger is not counted
  ReleaseLogger(nullptr);
  EXPECT_EQ(root->Name(), "ROOT");
  {
    ScopedLogger scoped("Editor");
    EXPECT_EQ(scoped.get(), editor);
    EXPECT_EQ(editor->References(), 2);
  }
  EXPECT_EQ(editor->References(), 1);
}

TEST_F(InfoTrackerTest, NothingHappensWithoutLoggerOrSink) {
  LogError(nullptr, "ignored");
  Logger orphan("orphan", nullptr);
  LogError(&orphan, "ignored");
  // Before any initialisation the root logger has no sink.
  LogError(InfoTracker::Instance().Root(), "ignored");
  EXPECT_FALSE(std::filesystem::exists(LogFile()));
}

TEST_F(InfoTrackerTest, ServiceSwitchFollowsTheLevel) {
  InitFile(4);
  EXPECT_EQ(ReadFile(Path("msg.ini")), "[DEBUG]\nLOG_LEVEL=1\n");
  InitConsoleLog(3);
  EXPECT_FALSE(std::filesystem::exists(Path("msg.ini")));
  InitConsoleLog(7);
  EXPECT_TRUE(std::filesystem::exists(Path("msg.ini")));
  InitFile(0);
  EXPECT_FALSE(std::filesystem::exists(Path("msg.ini")));
}

TEST_F(InfoTrackerTest, ConsoleSinkWritesToTheDebugOutput) {
  quorvane::platform::DebugCapture capture;
  Logger* root = InitConsoleLog(2);
  LogInfo(root, "shown");
  LogDebug(root, "hidden");
  EXPECT_EQ(capture.Lines(),
            std::vector<std::string>{"03/07/09 14:05:09  42 [ROOT                ][INFO] :shown"});
}

TEST_F(InfoTrackerTest, ReinitialisationReplacesTheSink) {
  Logger* root = InitFile(1);
  LogError(root, "to the file");
  quorvane::platform::DebugCapture capture;
  EXPECT_EQ(InitConsoleLog(1), root);
  LogError(root, "to the console");
  EXPECT_EQ(Lines(LogFile()).size(), 1u);
  EXPECT_EQ(capture.Lines().size(), 1u);
}

TEST_F(InfoTrackerTest, LinesFromManyThreadsStayWhole) {
  InitFileLog(1, Path("LTeskTV"), 1 << 30, 1);
  constexpr int kThreads = 4;
  constexpr int kLines = 250;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      ScopedLogger logger("T" + std::to_string(t));
      for (int i = 0; i < kLines; ++i) LogError(logger, "thread %d line %d %s", t, i, std::string(40, '.').c_str());
    });
  }
  for (auto& thread : threads) thread.join();
  const auto lines = Lines(LogFile());
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLines));
  const std::regex shape(R"(03/07/09 14:05:09  42 \[T\d {18}\]\[ERROR\] :thread \d line \d+ \.{40})");
  for (const auto& line : lines) ASSERT_TRUE(std::regex_match(line, shape)) << line;
  EXPECT_EQ(InfoTracker::Instance().LoggerCount(), 0u);
}

}  // namespace
}  // namespace TESKTV::LOG
