#pragma once
// The process-wide registry of the diagnostic log: the level, the root
// logger, the named loggers with their reference counts and the current
// sink. One lock serialises the sink, the logger list and the level, so
// any thread may log.

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "common/base/Singleton.h"
#include "common/log/LogLine.h"
#include "common/log/Tracker.h"
#include "platform/clock/Clock.h"

namespace TESKTV::LOG {

class InfoTracker;

// A named source of log lines. The name is written into every line.
class Logger {
 public:
  Logger(std::string name, InfoTracker* registry) : name_(std::move(name)), registry_(registry) {}
  const std::string& Name() const { return name_; }
  InfoTracker* Registry() const { return registry_; }
  // Not synchronised: for the UI thread that owns the loggers, and tests.
  int References() const { return references_; }

 private:
  friend class InfoTracker;
  std::string name_;
  InfoTracker* registry_;
  int references_ = 1;
};

class InfoTracker : public BASE::Singleton<InfoTracker> {
 public:
  // Set the level, apply the service's "msg.ini" switch, replace the sink
  // and return the root logger ("ROOT").
  Logger* InitFileLog(int level, std::string_view basePath, std::int64_t maxSize, int fileCount);
  Logger* InitConsoleLog(int level);

  // Nothing while no sink exists.
  Logger* GetLogger(std::string_view name);
  // At reference count 0 the logger is removed and freed. The root logger
  // and unknown pointers are left alone.
  void ReleaseLogger(Logger* logger);

  // Writes when the level admits the message and a sink exists.
  void Write(const Logger& logger, LogLevel level, const char* format, va_list args)
      __attribute__((format(printf, 4, 0)));

  int Level() const { return level_.load(); }
  std::size_t LoggerCount();
  Logger* Root() { return &root_; }

  // Time stamps come from this clock; nullptr selects the real clock.
  void SetClock(const quorvane::platform::Clock* clock);

  // Back to the state before the first initialisation: no sink, no named
  // loggers, level 0, real clock.
  void Reset();

 private:
  friend class BASE::Singleton<InfoTracker>;
  InfoTracker() : root_("ROOT", this) {}

  Logger* Install(int level, std::unique_ptr<Tracker> sink);

  std::mutex mutex_;
  std::atomic<int> level_{0};
  Logger root_;
  std::vector<std::unique_ptr<Logger>> loggers_;
  std::unique_ptr<Tracker> sink_;
  const quorvane::platform::Clock* clock_ = nullptr;
};

// The file the service looks for in its current folder to switch its own
// log on: removed below level 4, else written with "[DEBUG]" and
// "LOG_LEVEL=1".
void ApplyServiceLogSwitch(int level);

}  // namespace TESKTV::LOG
