#pragma once
// Each log test runs in a temporary current folder (the log writes
// "msg.ini" there) with a simulated clock and a fresh log registry.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/log/InfoTracker.h"
#include "platform/clock/SimulatedClock.h"

namespace TESKTV::LOG {

// 2009-03-07 14:05:09.042 in Berlin (CET, UTC+1).
inline quorvane::platform::WallTime TestStart() {
  using namespace std::chrono;
  return sys_days{year{2009} / 3 / 7} + hours{13} + minutes{5} + seconds{9} + milliseconds{42};
}

class LogFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    std::string pattern = (std::filesystem::temp_directory_path() / "log-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(folder_);
    InfoTracker::Instance().Reset();
    InfoTracker::Instance().SetClock(&clock_);
  }
  void TearDown() override {
    InfoTracker::Instance().Reset();
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(folder_);
  }

  std::string Path(const std::string& name) const { return (folder_ / name).string(); }

  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadFile(path));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  static void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }

  quorvane::platform::SimulatedClock clock_{TestStart()};
  std::filesystem::path folder_;
  std::filesystem::path previous_;
};

}  // namespace TESKTV::LOG
