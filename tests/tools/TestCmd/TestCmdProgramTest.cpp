// TestCmd's recording on a simulated clock: what is on disk when.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/clock/ClockThread.h"
#include "platform/clock/SimulatedClock.h"
#include "tests/support/TempDir.h"
#include "tools/TestCmd/PacedRecorder.h"
#include "tools/TestCmd/TestCmdProgram.h"

namespace quorvane::tools::testcmd {
namespace {

using namespace std::chrono_literals;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::int64_t SizeOf(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  return error ? -1 : static_cast<std::int64_t>(size);
}

// 80 kbit/s is 10000 bytes a second: 53 packets after 1 s, 159 after 3 s.
constexpr std::int64_t kKbps = 80;

class TestCmdProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
  }

  std::string Folder() const { return temp.File("rec"); }
  std::string Path(const std::string& file) const { return Folder() + "/" + file; }

  std::vector<std::string> Args(int limit, std::int64_t splitBytes = 0) const {
    std::vector<std::string> args = {"-startr2:123.ts", "-startr2:News.ts", "-limit:" + std::to_string(limit),
                                     "-vinput:1", "-cbr:1", "-vbaver:" + std::to_string(kKbps),
                                     "-aoutfmt:1", "-abindex:32"};
    if (splitBytes > 0) args.push_back("-splitsize:" + std::to_string(splitBytes));
    args.push_back("-folder:" + Folder());
    return args;
  }

  void Start(std::vector<std::string> args) {
    thread = platform::ClockThread(clock, [this, args = std::move(args)] { status = program.Run(args); });
  }

  testing::TempDir temp;
  platform::SimulatedClock clock;
  std::ostringstream out, err;
  TestCmdProgram program{clock, out, err};
  int status = -1;
  platform::ClockThread thread;
};

TEST(PacedRecorder, PacketsFollowTheBitRateWithoutOverflow) {
  EXPECT_EQ(PacedRecorder::PacketsAfter(0ms, kKbps), 0);
  EXPECT_EQ(PacedRecorder::PacketsAfter(1s, kKbps), 53);
  EXPECT_EQ(PacedRecorder::PacketsAfter(1500ms, kKbps), 79);
  EXPECT_EQ(PacedRecorder::PacketsAfter(3s, kKbps), 159);
  // A day at the highest rate accepted: 1.35e13 bytes.
  EXPECT_EQ(PacedRecorder::PacketsAfter(std::chrono::hours(24), 1000000), 86400LL * 125000000 / 188);
}

TEST_F(TestCmdProgramTest, WritesNullPacketsInRealTimeUntilTheLimit) {
  Start(Args(3));
  clock.Advance(0s);
  EXPECT_EQ(SizeOf(Path("News.ts")), 0) << "the file exists from the start";
  clock.Advance(1s);
  EXPECT_EQ(SizeOf(Path("News.ts")), 53 * 188);
  clock.Advance(1s);
  EXPECT_EQ(SizeOf(Path("News.ts")), 106 * 188);
  clock.Advance(5s);
  thread.Join();

  EXPECT_EQ(status, kExitRecorded) << err.str();
  const std::string data = ReadFile(Path("News.ts"));
  ASSERT_EQ(data.size(), 159u * 188);
  for (std::size_t offset = 0; offset < data.size(); offset += 188) {
    ASSERT_EQ(static_cast<unsigned char>(data[offset]), 0x47) << offset;
    ASSERT_EQ((static_cast<unsigned char>(data[offset + 1]) & 0x1F) << 8 | static_cast<unsigned char>(data[offset + 2]),
              0x1FFF)
        << offset;
  }
  EXPECT_FALSE(std::filesystem::exists(Path("News-2.ts")));
  EXPECT_NE(out.str().find("recording ended after 3.000 s: 29892 bytes in 1 piece(s)"), std::string::npos)
      << out.str();
}

TEST_F(TestCmdProgramTest, SplitsIntoNumberedPiecesOfWholePackets) {
  // 2 s = 106 packets; 3800 bytes hold 20 packets (3760 bytes).
  Start(Args(2, 3800));
  clock.Advance(3s);
  thread.Join();
  ASSERT_EQ(status, kExitRecorded) << err.str();
  EXPECT_EQ(SizeOf(Path("News.ts")), 20 * 188);
  for (int piece = 2; piece <= 5; ++piece) EXPECT_EQ(SizeOf(Path("News-" + std::to_string(piece) + ".ts")), 20 * 188);
  EXPECT_EQ(SizeOf(Path("News-6.ts")), 6 * 188);
  EXPECT_FALSE(std::filesystem::exists(Path("News-7.ts")));
  EXPECT_NE(out.str().find("writing " + Path("News-6.ts")), std::string::npos) << out.str();
}

TEST_F(TestCmdProgramTest, StopEndsTheRecordingCleanlyWithWhatIsDue) {
  Start(Args(3600));
  clock.Advance(1500ms);
  program.Stop("SIGTERM");
  thread.Join();
  EXPECT_EQ(status, kExitRecorded);
  EXPECT_EQ(SizeOf(Path("News.ts")), 79 * 188);
  EXPECT_NE(out.str().find("stopped (SIGTERM) after 1.500 s: 14852 bytes in 1 piece(s)"), std::string::npos)
      << out.str();
}

TEST_F(TestCmdProgramTest, LogsItsArgumentsToOutputAndBesideTheRecording) {
  Start(Args(0));
  clock.Advance(0s);
  thread.Join();
  ASSERT_EQ(status, kExitRecorded) << err.str();
  EXPECT_EQ(SizeOf(Path("News.ts")), 0);
  const std::string log = ReadFile(Path("News.log"));
  EXPECT_EQ(log, out.str());
  EXPECT_NE(log.find("2026-01-01 01:00:00 TestCmd started with 9 argument(s)\n"), std::string::npos) << log;
  EXPECT_NE(log.find("argument 0: -startr2:123.ts\n"), std::string::npos);
  EXPECT_NE(log.find("argument 1: -startr2:News.ts\n"), std::string::npos);
  EXPECT_NE(log.find("argument 8: -folder:" + Folder() + "\n"), std::string::npos);
  EXPECT_NE(log.find("for 0 s at 80 kbit/s"), std::string::npos);
}

TEST_F(TestCmdProgramTest, ReportsMalformedLinesAndUnwritableFolders) {
  EXPECT_EQ(program.Run({"TestCmd", "-startr2:a.ts", "-limit:x", "-folder:/tmp"}), kExitBadCommandLine);
  EXPECT_NE(err.str().find("TestCmd: option -limit needs a whole number"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("usage: TestCmd"), std::string::npos);
  EXPECT_TRUE(out.str().empty());

  const std::string file = temp.File("plain");
  std::ofstream(file) << "x";
  err.str("");
  EXPECT_EQ(program.Run({"TestCmd", "-startr2:a.ts", "-limit:1", "-folder:" + file + "/sub"}), kExitWriteFailed);
  EXPECT_NE(err.str().find("cannot create the folder"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace quorvane::tools::testcmd
