// The headless demo, in real time: one schedule is recorded end to end on
// the simulated hardware, and the after-record standby reaches logind.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "tests/support/TempDir.h"

namespace {

TEST(RecordingDemoTest, OneScheduleIsRecordedAndTheStandbyIsRequested) {
  const char* script = std::getenv("QUORVANE_DEMO_SCRIPT");
  const char* build = std::getenv("QUORVANE_BINARY_DIR");
  ASSERT_NE(script, nullptr);
  ASSERT_NE(build, nullptr);
  quorvane::testing::TempDir dir;
  const std::string command = "QUORVANE_BUILD_DIR='" + std::string(build) + "' QUORVANE_PREFIX='" + dir.File("prefix") +
                              "' '" + script + "' --demo 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  const int status = ::pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;

  std::istringstream lines(output);
  std::string line, last;
  while (std::getline(lines, line)) {
    if (!line.empty()) last = line;
  }
  ASSERT_EQ(last.rfind("recorded: ", 0), 0u) << output;
  const std::string file = last.substr(10);
  EXPECT_EQ(file.substr(file.size() - 3), ".ts");
  EXPECT_EQ(file.rfind(dir.File("prefix/home/Videos/"), 0), 0u) << file;
  ASSERT_TRUE(std::filesystem::exists(file)) << file;
  EXPECT_GT(std::filesystem::file_size(file), 0u);

  for (const char* expected : {"box control: power key sent", "box: ", "command line: -startr2:\"123.ts\"",
                               "TestCmd started", "record event: OnActiveSchedule2", "recording file: ",
                               "after-record action requested: logind: Suspend(false)"}) {
    EXPECT_NE(output.find(expected), std::string::npos) << expected << "\n" << output;
  }
}

}  // namespace
