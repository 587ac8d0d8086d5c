#include "common/log/InfoTracker.h"

#include <unistd.h>

#include <algorithm>

#include "common/log/ConsoleTracker.h"
#include "common/log/FileTracker.h"
#include "platform/ini/IniWriter.h"

namespace TESKTV::LOG {

void ApplyServiceLogSwitch(int level) {
  constexpr const char* kSwitchFile = "msg.ini";
  if (level < 4) {
    ::unlink(kSwitchFile);
    return;
  }
  // Best effort: the log itself works without the service's switch.
  (void)quorvane::platform::WriteIniFile(kSwitchFile, {{"DEBUG", {{"LOG_LEVEL", "1"}}}});
}

Logger* InfoTracker::Install(int level, std::unique_ptr<Tracker> sink) {
  std::lock_guard lock(mutex_);
  level_ = level;
  sink_ = std::move(sink);
  root_.name_ = "ROOT";
  return &root_;
}

Logger* InfoTracker::InitFileLog(int level, std::string_view basePath, std::int64_t maxSize, int fileCount) {
  ApplyServiceLogSwitch(level);
  {
    // The old file is closed before the new one is chosen, so a restart
    // with the same base path sees its own file's last write time.
    std::lock_guard lock(mutex_);
    sink_.reset();
  }
  return Install(level, std::make_unique<FileTracker>(std::string(basePath), maxSize, fileCount));
}

Logger* InfoTracker::InitConsoleLog(int level) {
  ApplyServiceLogSwitch(level);
  return Install(level, std::make_unique<ConsoleTracker>());
}

Logger* InfoTracker::GetLogger(std::string_view name) {
  std::lock_guard lock(mutex_);
  if (!sink_) return nullptr;
  for (auto& logger : loggers_) {
    if (logger->name_ == name) {
      ++logger->references_;
      return logger.get();
    }
  }
  loggers_.push_back(std::make_unique<Logger>(std::string(name), this));
  return loggers_.back().get();
}

void InfoTracker::ReleaseLogger(Logger* logger) {
  if (logger == nullptr) return;
  std::lock_guard lock(mutex_);
  const auto found =
      std::find_if(loggers_.begin(), loggers_.end(), [&](const auto& owned) { return owned.get() == logger; });
  if (found == loggers_.end()) return;
  if (--(*found)->references_ <= 0) loggers_.erase(found);
}

void InfoTracker::Write(const Logger& logger, LogLevel level, const char* format, va_list args) {
  if (level_.load() < static_cast<int>(level)) return;
  std::lock_guard lock(mutex_);
  if (!sink_ || level_.load() < static_cast<int>(level)) return;
  sink_->Prepare();
  const auto now = (clock_ != nullptr ? *clock_ : quorvane::platform::RealClock()).Wall();
  sink_->Write(FormatLogLine(now, logger.name_, level, FormatLogMessage(format, args)));
}

std::size_t InfoTracker::LoggerCount() {
  std::lock_guard lock(mutex_);
  return loggers_.size();
}

void InfoTracker::SetClock(const quorvane::platform::Clock* clock) {
  std::lock_guard lock(mutex_);
  clock_ = clock;
}

void InfoTracker::Reset() {
  std::lock_guard lock(mutex_);
  sink_.reset();
  loggers_.clear();
  level_ = 0;
  clock_ = nullptr;
}

}  // namespace TESKTV::LOG
