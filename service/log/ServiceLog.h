#pragma once
// The service's own log. It is switched on by a file "msg.ini" in the
// folder given at opening (the service's current folder), looked for once;
// without it nothing is written anywhere. Lines go to "msg.log" in the same
// folder as "MM/DD/YY HH:MM:SS<tab>text" with CR LF, and to the debug
// output. A log above 512000 bytes at opening is rotated through 19
// numbered copies ("msg.log01.log" .. "msg.log19.log", 01 the newest).
// All members may be called from any thread.

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string_view>

#include "platform/clock/Clock.h"

namespace TESKTV::SERVICE {

class ServiceLog {
 public:
  static constexpr std::string_view kSwitchFile = "msg.ini";
  static constexpr std::string_view kLogFile = "msg.log";
  static constexpr std::uintmax_t kRotateAbove = 512000;
  static constexpr int kCopies = 19;
  static constexpr std::size_t kMaxTextChars = 4000;
  static constexpr std::size_t kMaxLineBytes = 2000;

  // A log that writes nothing until opened.
  ServiceLog() = default;
  ~ServiceLog();
  ServiceLog(const ServiceLog&) = delete;
  ServiceLog& operator=(const ServiceLog&) = delete;

  // Looks for the switch file in `folder`; when it is there, rotates and
  // opens the log file (kept open, appending). Time stamps come from
  // `clock`, which must outlive the log. Closes what was open before.
  void Open(const std::filesystem::path& folder, const quorvane::platform::Clock& clock);
  void Close();
  bool Enabled() const;

  // Writes one line; trailing line breaks of `text` are dropped, and a
  // line too long for the limits is cut at a character boundary.
  void Write(std::string_view text);
  void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // The process's log, opened by the service at start.
  static ServiceLog& Process();

 private:
  mutable std::mutex mutex_;
  bool enabled_ = false;
  int fd_ = -1;
  const quorvane::platform::Clock* clock_ = nullptr;
};

// Lines to the process's log.
void Log(std::string_view text);
void LogF(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace TESKTV::SERVICE
