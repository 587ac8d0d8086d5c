#include "common/log/LogStartup.h"

#include "LogFixture.h"
#include "common/log/Log.h"
#include "platform/debug/DebugOutput.h"

namespace TESKTV::LOG {
namespace {

class LogStartupTest : public LogFixture {
 protected:
  void SetUp() override {
    LogFixture::SetUp();
    quorvane::platform::RegistryLocations locations;
    locations.machineDir = Path("machine");
    locations.userConfigDir = Path("config");
    store_.emplace(locations);
    appFolder_ = Path("app");
    std::filesystem::create_directories(appFolder_);
  }
  void TearDown() override {
    store_.reset();
    LogFixture::TearDown();
  }
  void UseSettings(const std::string& text) {
    WriteFile(Path("TeskTV.ini"), text);
    ASSERT_TRUE(store_->WriteString(quorvane::Hive::LocalMachine, "SOFTWARE\\Quorvane\\Velmora Scheduler",
                                    "SystemIni", Path("TeskTV.ini")));
  }

  std::optional<quorvane::SettingsStore> store_;
  std::string appFolder_;
};

TEST_F(LogStartupTest, WithoutSettingsFileLogsErrorsToTheAppFolder) {
  const std::string file = appFolder_ + "/LTeskTV_1.log";
  WriteFile(file, "previous run\n");
  const auto root = InitLogFromSettings(*store_, appFolder_);
  ASSERT_TRUE(root.ok()) << root.error().message;
  ASSERT_NE(*root, nullptr);
  EXPECT_EQ(ReadFile(file), "");  // truncated; the start line is information
  LogError(*root, "an error");
  LogInfo(*root, "some information");
  EXPECT_EQ(Lines(file), std::vector<std::string>{"03/07/09 14:05:09  42 [ROOT                ][ERROR] :an error"});
  EXPECT_FALSE(std::filesystem::exists(Path("msg.ini")));
}

TEST_F(LogStartupTest, FileSettingsFromTheIniFile) {
  std::filesystem::create_directories(appFolder_ + "/logs");
  UseSettings("[debug]\nTYPE=1\nLLEVEL=3\nLFILE=$APPPATH$logs/sched\nLSIZE=100\nLNUM=2\n");
  const auto root = InitLogFromSettings(*store_, appFolder_ + "/");
  ASSERT_TRUE(root.ok());
  const std::string first = appFolder_ + "/logs/sched_1.log";
  EXPECT_EQ(Lines(first), std::vector<std::string>{
                              "03/07/09 14:05:09  42 [ROOT                ][INFO] :" + std::string(kStartLine)});
  // The start line took 127 bytes, past LSIZE 100: the next one moves on.
  LogInfo(*root, "second");
  EXPECT_EQ(Lines(appFolder_ + "/logs/sched_2.log").size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(Path("msg.ini")));
}

TEST_F(LogStartupTest, ConsoleSettings) {
  UseSettings("[DEBUG]\nTYPE=2\nLLEVEL=4\n");
  quorvane::platform::DebugCapture capture;
  const auto root = InitLogFromSettings(*store_, appFolder_);
  ASSERT_TRUE(root.ok());
  ASSERT_NE(*root, nullptr);
  EXPECT_TRUE(capture.Contains("[ROOT                ][INFO] :" + std::string(kStartLine)));
  EXPECT_EQ(ReadFile(Path("msg.ini")), "[DEBUG]\nLOG_LEVEL=1\n");
  EXPECT_FALSE(std::filesystem::exists(appFolder_ + "/LTeskTV_1.log"));
}

TEST_F(LogStartupTest, OtherTypeMeansNoLog) {
  UseSettings("[DEBUG]\nTYPE=0\nLLEVEL=4\n");
  const auto root = InitLogFromSettings(*store_, appFolder_);
  ASSERT_TRUE(root.ok());
  EXPECT_EQ(*root, nullptr);
  EXPECT_EQ(GetLogger("List"), nullptr);
  EXPECT_TRUE(std::filesystem::is_empty(appFolder_));
}

TEST_F(LogStartupTest, ReadsSettingsWithDefaults) {
  UseSettings("[DEBUG]\nLLEVEL=2\nLFILE=\nLNUM=3 files\n");
  const LogSettings settings = ReadLogSettings(Path("TeskTV.ini"));
  EXPECT_EQ(settings.type, 1);
  EXPECT_EQ(settings.level, 2);
  EXPECT_EQ(settings.file, "$APPPATH$LTeskTV");
  EXPECT_EQ(settings.size, 20480);
  EXPECT_EQ(settings.count, 3);
  EXPECT_EQ(SystemIniPath(*store_), Path("TeskTV.ini"));
}

TEST(ExpandAppPathTest, ReplacesTheToken) {
  EXPECT_EQ(ExpandAppPath("$APPPATH$LTeskTV", "/opt/q"), "/opt/q/LTeskTV");
  EXPECT_EQ(ExpandAppPath("$APPPATH$LTeskTV", "/opt/q/"), "/opt/q/LTeskTV");
  EXPECT_EQ(ExpandAppPath("/var/log/LTeskTV", "/opt/q"), "/var/log/LTeskTV");
  EXPECT_EQ(ExpandAppPath("$APPPATH$a/$APPPATH$b", "/x"), "/x/a//x/b");
}

}  // namespace
}  // namespace TESKTV::LOG
