#include "service/log/ServiceLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "platform/clock/SimulatedClock.h"
#include "platform/debug/DebugOutput.h"

namespace TESKTV::SERVICE {
namespace {

namespace fs = std::filesystem;
using quorvane::platform::DebugCapture;
using quorvane::platform::SimulatedClock;
using quorvane::platform::WallTime;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

class ServiceLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    std::string pattern = (fs::temp_directory_path() / "quorvane-log-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  void SwitchOn() { WriteFile(dir_ / "msg.ini", "[DEBUG]\r\nLOG_LEVEL=3\r\n"); }
  std::string LogFile() const { return ReadFile(dir_ / "msg.log"); }

  fs::path dir_;
  // 2026-12-09 13:30:05 UTC, 14:30:05 in Berlin.
  SimulatedClock clock_{WallTime(std::chrono::seconds(1796823005))};
};

TEST_F(ServiceLogTest, WithoutTheSwitchFileNothingIsWrittenAnywhere) {
  DebugCapture debug;
  ServiceLog log;
  log.Open(dir_, clock_);
  EXPECT_FALSE(log.Enabled());
  log.Write("[Wakeward][CScheduleWnd][OnTimer] Entry");
  log.Printf("[Wakeward][X] %d", 1);
  EXPECT_FALSE(fs::exists(dir_ / "msg.log"));
  EXPECT_TRUE(debug.Lines().empty());

  // The switch is looked for once, at opening.
  SwitchOn();
  log.Write("still nothing");
  EXPECT_FALSE(fs::exists(dir_ / "msg.log"));
}

TEST_F(ServiceLogTest, LinesCarryDateTimeTabTextAndCrLf) {
  SwitchOn();
  WriteFile(dir_ / "msg.log", "earlier\r\n");
  DebugCapture debug;
  ServiceLog log;
  log.Open(dir_, clock_);
  ASSERT_TRUE(log.Enabled());
  log.Write("[Wakeward][CServiceModule][Run] Entry");
  clock_.Advance(std::chrono::hours(24 * 30));
  log.Printf("[Wakeward][CScheduleWnd][AddScheduleProgram2] Err = 0x%X", 7u);
  log.Write("[Schedule][HandlerEx][SERVICE_CONTROL_STOP]\n");
  EXPECT_EQ(LogFile(),
            "earlier\r\n"
            "12/09/26 14:30:05\t[Wakeward][CServiceModule][Run] Entry\r\n"
            "01/08/27 14:30:05\t[Wakeward][CScheduleWnd][AddScheduleProgram2] Err = 0x7\r\n"
            "01/08/27 14:30:05\t[Schedule][HandlerEx][SERVICE_CONTROL_STOP]\r\n");
  EXPECT_TRUE(debug.Contains("[Wakeward][CServiceModule][Run] Entry"));
  EXPECT_EQ(debug.Lines().size(), 3u);
}

TEST_F(ServiceLogTest, LongLinesAreCutToTheLimitsAtACharacterBoundary) {
  SwitchOn();
  ServiceLog log;
  log.Open(dir_, clock_);
  std::string text = "[Wakeward] ";
  while (text.size() < 5000) text += "\xC3\xBC";  // two bytes each
  log.Write(text);
  const std::string line = LogFile();
  ASSERT_LE(line.size(), ServiceLog::kMaxLineBytes);
  EXPECT_GE(line.size(), ServiceLog::kMaxLineBytes - 1);
  EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
  const std::string body = line.substr(0, line.size() - 2);
  EXPECT_NE(static_cast<unsigned char>(body.back()), 0xC3);  // no half character
}

TEST_F(ServiceLogTest, ALogAbove512000BytesIsRotatedThroughNineteenCopies) {
  SwitchOn();
  for (int copy = 1; copy <= 19; ++copy) {
    char name[32];
    std::snprintf(name, sizeof name, "msg.log%02d.log", copy);
    WriteFile(dir_ / name, "copy " + std::to_string(copy));
  }
  WriteFile(dir_ / "msg.log", std::string(600000, 'x'));
  ServiceLog log;
  log.Open(dir_, clock_);
  log.Write("fresh");

  EXPECT_EQ(fs::file_size(dir_ / "msg.log01.log"), 600000u);
  for (int copy = 2; copy <= 19; ++copy) {
    char name[32];
    std::snprintf(name, sizeof name, "msg.log%02d.log", copy);
    EXPECT_EQ(ReadFile(dir_ / name), "copy " + std::to_string(copy - 1)) << name;
  }
  EXPECT_FALSE(fs::exists(dir_ / "msg.log20.log"));
  EXPECT_EQ(LogFile(), "12/09/26 14:30:05\tfresh\r\n");
}

TEST_F(ServiceLogTest, ALogOfExactly512000BytesIsContinued) {
  SwitchOn();
  WriteFile(dir_ / "msg.log", std::string(512000, 'x'));
  ServiceLog log;
  log.Open(dir_, clock_);
  log.Write("more");
  EXPECT_FALSE(fs::exists(dir_ / "msg.log01.log"));
  EXPECT_EQ(fs::file_size(dir_ / "msg.log"), 512000u + std::string("12/09/26 14:30:05\tmore\r\n").size());

  // A gap in the copies is no obstacle.
  WriteFile(dir_ / "msg.log", std::string(512001, 'x'));
  WriteFile(dir_ / "msg.log03.log", "three");
  log.Open(dir_, clock_);
  EXPECT_EQ(fs::file_size(dir_ / "msg.log01.log"), 512001u);
  EXPECT_FALSE(fs::exists(dir_ / "msg.log02.log"));
  EXPECT_EQ(ReadFile(dir_ / "msg.log04.log"), "three");
}

TEST_F(ServiceLogTest, LinesFromManyThreadsNeverInterleave) {
  SwitchOn();
  ServiceLog log;
  log.Open(dir_, clock_);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&log, t] {
      for (int i = 0; i < 200; ++i) log.Printf("[Wakeward][T%d] line %d %s", t, i, std::string(50, 'a' + t).c_str());
    });
  }
  for (auto& thread : threads) thread.join();
  std::istringstream lines(LogFile());
  const std::regex pattern(R"(12/09/26 14:30:05\t\[Wakeward\]\[T([0-3])\] line \d+ (a{50}|b{50}|c{50}|d{50})\r)");
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    ASSERT_TRUE(std::regex_match(line, pattern)) << line;
  }
  EXPECT_EQ(count, 800);
}

TEST_F(ServiceLogTest, TheProcessLogServesTheShorthands) {
  SwitchOn();
  ServiceLog::Process().Open(dir_, clock_);
  TESKTV::SERVICE::Log("[Wakeward][CScheduleWnd][CheckScheduleXML] Entry");
  LogF("[Wakeward][ScheduleMonitor][LoadSchedules] *nErr = %s", "SI_1");
  ServiceLog::Process().Close();
  TESKTV::SERVICE::Log("after close");
  EXPECT_EQ(this->LogFile(),
            "12/09/26 14:30:05\t[Wakeward][CScheduleWnd][CheckScheduleXML] Entry\r\n"
            "12/09/26 14:30:05\t[Wakeward][ScheduleMonitor][LoadSchedules] *nErr = SI_1\r\n");
}

}  // namespace
}  // namespace TESKTV::SERVICE
