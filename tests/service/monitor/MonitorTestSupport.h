#pragma once
// Shared by the monitor and timer tests: Europe/Berlin time, a private
// folder with the registry and data folders moved into it, a service log
// that the test reads back, and a window that records what it is posted.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/clock/Clock.h"
#include "platform/clock/SimulatedClock.h"
#include "service/log/ServiceLog.h"
#include "service/messages/ServiceMessages.h"
#include "service/messages/WindowPoster.h"
#include "service/schedule/ScheduleProgram.h"
#include "tests/support/TempDir.h"

namespace TESKTV::SCHEDULE::testing {

using quorvane::platform::WallTime;

inline void PinBerlinTime() {
  ::setenv("TZ", "Europe/Berlin", 1);
  ::tzset();
}

// A first base of fixtures whose members already need the time zone.
struct BerlinTimePinned {
  BerlinTimePinned() { PinBerlinTime(); }
};

// Seconds since the epoch of a Berlin wall-clock time (the earlier one
// when it occurs twice).
inline std::int64_t Local(int year, int month, int day, int hour, int minute, int second = 0) {
  const std::optional<std::int64_t> point = PointInTimeOf({year, month, day, hour, minute, second});
  EXPECT_TRUE(point.has_value()) << year << "-" << month << "-" << day << " " << hour << ":" << minute;
  return point.value_or(0);
}

inline WallTime WallAt(std::int64_t seconds) { return WallTime(std::chrono::seconds(seconds)); }

inline std::int64_t SecondsOf(WallTime time) {
  return std::chrono::floor<std::chrono::seconds>(time.time_since_epoch()).count();
}

inline std::string Describe(std::int64_t point) {
  const quorvane::wire::Date_Time t = DateTimeOf(point);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.yy, t.mm, t.dd, t.hh, t.min, t.sec);
  return text;
}

// A schedule on "Cable Box"; `days` only matters for WEEKLY. An empty `id`
// stays empty (as a client can send it).
inline ScheduleProgram MakeSchedule(std::string id, std::int32_t interval, std::int64_t start, std::int32_t length,
                                    DayOfWeeks days = {}, std::string device = "Cable Box") {
  ScheduleProgram record(id.empty() ? "unnamed" : id);
  if (id.empty()) {
    quorvane::wire::SCHEDULE_PROGRAM_BOX box = record.ToBox();
    box.ID[0] = 0;
    record = ScheduleProgram::FromBox(box).value();
  }
  record.SetDescription("Show " + id);
  record.SetEnable(1);
  record.SetDevice(std::move(device), 0, 1);
  record.SetChannel("12", "");
  record.SetSchedule(interval, start, length);
  record.SetDayOfWeeks(days);
  return record;
}

// A private folder that also holds the machine registry, the user's
// configuration and data, and a switched-on service log.
class ServiceFolder {
 public:
  explicit ServiceFolder(const quorvane::platform::Clock& clock) {
    for (const char* name : {"machine", "config", "data", "log"}) std::filesystem::create_directories(dir_.File(name));
    ::setenv("QUORVANE_MACHINE_DIR", dir_.File("machine").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", dir_.File("config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", dir_.File("data").c_str(), 1);
    std::ofstream(dir_.File("log/msg.ini")) << "[log]\n";
    log_.Open(dir_.File("log"), clock);
  }

  std::string File(const std::string& name) const { return dir_.File(name); }
  std::string ScheduleFile() const { return dir_.File("data/anna.xml"); }
  SERVICE::ServiceLog& log() { return log_; }

  // The texts of the log lines so far, without their time stamps.
  std::vector<std::string> LogLines() const {
    std::ifstream in(dir_.File("log/msg.log"), std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::size_t tab = line.find('\t');
      lines.push_back(tab == std::string::npos ? line : line.substr(tab + 1));
    }
    return lines;
  }
  bool Logged(const std::string& text) const {
    for (const std::string& line : LogLines()) {
      if (line == text) return true;
    }
    return false;
  }

 private:
  quorvane::testing::TempDir dir_;
  SERVICE::ServiceLog log_;
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

// A window that keeps every message with the wall time it was posted at.
class RecordingWindow final : public SERVICE::WindowPoster {
 public:
  struct Entry {
    SERVICE::PostedMessage message;
    std::int64_t at = 0;  // whole seconds
    WallTime wall;
  };

  explicit RecordingWindow(const quorvane::platform::Clock& clock) : clock_(clock) {}

  bool Post(SERVICE::PostedMessage message) override {
    std::lock_guard<std::mutex> lock(mutex_);
    const WallTime now = clock_.Wall();
    entries_.push_back({std::move(message), SecondsOf(now), now});
    return true;
  }

  std::vector<Entry> Entries() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
  }
  std::vector<Entry> Of(std::uint32_t message) const {
    std::vector<Entry> selected;
    for (const Entry& entry : Entries()) {
      if (entry.message.message == message) selected.push_back(entry);
    }
    return selected;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
  }

 private:
  const quorvane::platform::Clock& clock_;
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

}  // namespace TESKTV::SCHEDULE::testing
