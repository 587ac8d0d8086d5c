#pragma once
// The calls the programs log with. Levels: 0 nothing, 1 errors, 2 errors
// and information (3 the same), 4 and above also debug messages.

#include <cstdint>
#include <string_view>

#include "common/log/InfoTracker.h"

namespace TESKTV::LOG {

Logger* InitFileLog(int level, std::string_view basePath, std::int64_t maxSize, int fileCount);
Logger* InitConsoleLog(int level);

Logger* GetLogger(std::string_view name);
void ReleaseLogger(Logger* logger);

// Each does nothing for a null logger, a logger without registry, or while
// no sink exists.
void LogError(const Logger* logger, const char* format, ...) __attribute__((format(printf, 2, 3)));
void LogInfo(const Logger* logger, const char* format, ...) __attribute__((format(printf, 2, 3)));
void LogDebug(const Logger* logger, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Holds one reference to a named logger and gives it back on destruction.
class ScopedLogger {
 public:
  explicit ScopedLogger(std::string_view name) : logger_(GetLogger(name)) {}
  ~ScopedLogger() { ReleaseLogger(logger_); }
  ScopedLogger(const ScopedLogger&) = delete;
  ScopedLogger& operator=(const ScopedLogger&) = delete;

  Logger* get() const { return logger_; }
  operator Logger*() const { return logger_; }

 private:
  Logger* logger_;
};

}  // namespace TESKTV::LOG
