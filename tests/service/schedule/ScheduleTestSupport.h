#pragma once
// Shared by the schedule tests: a private folder per test, the time zone
// pinned to Europe/Berlin, and the fixture list of two_schedules.xml.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "service/schedule/ScheduleProgram.h"

namespace TESKTV::SCHEDULE::testing {

inline void PinBerlinTime() {
  ::setenv("TZ", "Europe/Berlin", 1);
  ::tzset();
}

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quorvane-sched-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

inline void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

inline std::string DataFile(const std::string& name) {
  const char* source = std::getenv("QUORVANE_SOURCE_DIR");
  return std::string(source != nullptr ? source : ".") + "/tests/service/schedule/data/" + name;
}

// Seconds since the epoch of a local Berlin time that exists once.
inline std::int64_t Local(int year, int month, int day, int hour, int minute, int second = 0) {
  const std::optional<std::int64_t> point = PointInTimeOf({year, month, day, hour, minute, second});
  EXPECT_TRUE(point.has_value());
  return point.value_or(0);
}

// The records that data/two_schedules.xml holds.
inline std::vector<ScheduleProgram> FixtureList() {
  ScheduleProgram first("SI_14300920261205");
  first.SetDescription("Tatort: Tod & Teufel <Teil 2> \"Finale\" \xE2\x80\x93 M\xC3\xBCnchen");
  first.SetEnable(1);
  first.SetEAction(3);
  first.SetDevice("Cable Box", 1, 2);
  first.SetChannel("123", "4");
  first.SetSchedule(ONCE, Local(2026, 12, 9, 20, 15), 90);
  first.SetDayOfWeeks({0, 0, 1, 0, 0, 0, 0});
  first.SetRecord("/home/anna/Videos", "", 700);
  first.SetAPPath("/opt/capture/CaptureModule");
  StreamSettings stream;
  stream.lVideoMaxBitRate = 9000;
  stream.lVideoMinBitRate = 7000;
  first.SetStream(stream);

  ScheduleProgram second("SI_WEEKLY");
  second.SetAction(kWakeUpAction);
  second.SetChannel("7", "");
  second.SetSchedule(WEEKLY, Local(2026, 7, 5, 6, 5), 1);
  second.SetDayOfWeeks({1, 0, 0, 0, 0, 1, 1});
  second.SetStream({3, 4, 0, 4000, 6000, 2000, 0, 5, 192, 12, 0, 20});
  second.SetRecordStatus(2);
  return {first, second};
}

}  // namespace TESKTV::SCHEDULE::testing
