#include "service/log/ServiceLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/clock/LocalTime.h"
#include "platform/debug/DebugOutput.h"

namespace TESKTV::SERVICE {

namespace fs = std::filesystem;
namespace platform = quorvane::platform;

namespace {

fs::path CopyPath(const fs::path& log, int number) {
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "%02d.log", number);
  return fs::path(log.string() + suffix);
}

void Rotate(const fs::path& log) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(log, error);
  if (error || size <= ServiceLog::kRotateAbove) return;
  fs::remove(CopyPath(log, ServiceLog::kCopies), error);
  for (int number = ServiceLog::kCopies - 1; number >= 1; --number) {
    const fs::path from = CopyPath(log, number);
    if (fs::exists(from, error)) fs::rename(from, CopyPath(log, number + 1), error);
  }
  fs::rename(log, CopyPath(log, 1), error);
}

// Length of the longest prefix of `text` not above `limit` bytes that ends
// on a UTF-8 character boundary.
std::size_t CutAt(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return end;
}

// Number of bytes that hold the first `chars` characters of `text`.
std::size_t CharsPrefix(std::string_view text, std::size_t chars) {
  std::size_t i = 0;
  for (std::size_t seen = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && seen++ == chars) break;
  }
  return i;
}

std::string Stamp(const platform::Clock& clock) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(clock.Wall().time_since_epoch()).count();
  const platform::LocalDateTime t = platform::ToLocal(seconds);
  char text[64];
  std::snprintf(text, sizeof text, "%02d/%02d/%02d %02d:%02d:%02d", t.month, t.day, t.year % 100, t.hour, t.minute,
                t.second);
  return text;
}

void VWrite(ServiceLog& log, const char* format, va_list args) {
  char buffer[ServiceLog::kMaxTextChars * 4 + 1];
  const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
  if (length < 0) return;
  log.Write(std::string_view(buffer, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof buffer - 1)));
}

}  // namespace

ServiceLog::~ServiceLog() { Close(); }

void ServiceLog::Open(const fs::path& folder, const platform::Clock& clock) {
  std::lock_guard lock(mutex_);
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  clock_ = &clock;
  std::error_code error;
  enabled_ = fs::exists(folder / kSwitchFile, error);
  if (!enabled_) return;
  const fs::path log = folder / kLogFile;
  Rotate(log);
  fd_ = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd_ < 0) platform::DebugOutput("[Wakeward] cannot open " + log.string());
}

void ServiceLog::Close() {
  std::lock_guard lock(mutex_);
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  enabled_ = false;
}

bool ServiceLog::Enabled() const {
  std::lock_guard lock(mutex_);
  return enabled_;
}

void ServiceLog::Write(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  text = text.substr(0, CharsPrefix(text, kMaxTextChars));

  std::lock_guard lock(mutex_);
  if (!enabled_) return;
  std::string line = Stamp(*clock_);
  line += '\t';
  line.append(text.substr(0, CutAt(text, kMaxLineBytes - 2 - line.size())));
  line += "\r\n";
  if (fd_ >= 0) {
    std::size_t done = 0;
    while (done < line.size()) {
      const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
  }
  platform::DebugOutput(text);
}

void ServiceLog::Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  VWrite(*this, format, args);
  va_end(args);
}

ServiceLog& ServiceLog::Process() {
  static ServiceLog log;
  return log;
}

void Log(std::string_view text) { ServiceLog::Process().Write(text); }

void LogF(const char* format, ...) {
  va_list args;
  va_start(args, format);
  VWrite(ServiceLog::Process(), format, args);
  va_end(args);
}

}  // namespace TESKTV::SERVICE
