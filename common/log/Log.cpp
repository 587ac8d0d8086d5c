#include "common/log/Log.h"

namespace TESKTV::LOG {
namespace {

void WriteLevel(const Logger* logger, LogLevel level, const char* format, va_list args)
    __attribute__((format(printf, 3, 0)));

void WriteLevel(const Logger* logger, LogLevel level, const char* format, va_list args) {
  if (logger == nullptr || logger->Registry() == nullptr || format == nullptr) return;
  logger->Registry()->Write(*logger, level, format, args);
}

}  // namespace

Logger* InitFileLog(int level, std::string_view basePath, std::int64_t maxSize, int fileCount) {
  return InfoTracker::Instance().InitFileLog(level, basePath, maxSize, fileCount);
}

Logger* InitConsoleLog(int level) { return InfoTracker::Instance().InitConsoleLog(level); }

Logger* GetLogger(std::string_view name) { return InfoTracker::Instance().GetLogger(name); }

void ReleaseLogger(Logger* logger) {
  if (logger != nullptr && logger->Registry() != nullptr) logger->Registry()->ReleaseLogger(logger);
}

void LogError(const Logger* logger, const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteLevel(logger, LogLevel::Error, format, args);
  va_end(args);
}

void LogInfo(const Logger* logger, const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteLevel(logger, LogLevel::Info, format, args);
  va_end(args);
}

void LogDebug(const Logger* logger, const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteLevel(logger, LogLevel::Debug, format, args);
  va_end(args);
}

}  // namespace TESKTV::LOG
