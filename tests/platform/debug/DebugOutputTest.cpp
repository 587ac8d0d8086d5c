#include "platform/debug/DebugOutput.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "tests/support/TempDir.h"

namespace quorvane::platform {
namespace {

TEST(DebugOutputTest, CaptureCollectsOneLinePerCallAndRestoresThePreviousSink) {
  std::vector<std::string> outer;
  SetDebugSink([&](std::string_view line) { outer.emplace_back(line); });
  {
    DebugCapture capture;
    DebugOutput("CSkinMain::WindowProc WM_IEPG_RECORD=32970, lParam=3\r\n");
    DebugPrintf("%s=%d", "WAIT_TIMEOUT", 258);
    DebugOutput("");
    EXPECT_EQ(capture.Lines(), (std::vector<std::string>{"CSkinMain::WindowProc WM_IEPG_RECORD=32970, lParam=3",
                                                         "WAIT_TIMEOUT=258", ""}));
    EXPECT_TRUE(capture.Contains("WM_IEPG_RECORD"));
    EXPECT_FALSE(capture.Contains("WAIT_OBJECT_0"));
  }
  DebugOutput("after");
  SetDebugSink(nullptr);
  EXPECT_EQ(outer, std::vector<std::string>{"after"});
}

TEST(DebugOutputTest, LinesFromManyThreadsOnStderrNeverInterleave) {
  quorvane::testing::TempDir folder;
  const std::string path = folder.File("stderr.txt");
  const int saved = ::dup(STDERR_FILENO);
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(file, 0);
  ::dup2(file, STDERR_FILENO);
  ::close(file);

  constexpr int kThreads = 4;
  constexpr int kLines = 200;
  const std::string payload(300, '#');
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([&, t] {
      for (int i = 0; i < kLines; ++i) DebugPrintf("[%d:%d] %s", t, i, payload.c_str());
    });
  }
  for (auto& writer : writers) writer.join();
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);

  std::ifstream in(path);
  std::string line;
  int count = 0;
  while (std::getline(in, line)) {
    ++count;
    ASSERT_EQ(line.front(), '[') << line;
    ASSERT_EQ(line.substr(line.size() - payload.size()), payload) << line;
  }
  EXPECT_EQ(count, kThreads * kLines);
}

}  // namespace
}  // namespace quorvane::platform
