#include "platform/debug/DebugOutput.h"

#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>

namespace quorvane::platform {

namespace {

std::mutex& SinkMutex() {
  static std::mutex mutex;
  return mutex;
}

DebugSink& Sink() {
  static DebugSink sink;
  return sink;
}

void WriteToStderr(std::string_view line) {
  std::string buffer(line);
  buffer.push_back('\n');
  const char* data = buffer.data();
  std::size_t left = buffer.size();
  while (left > 0) {
    const ssize_t written = ::write(STDERR_FILENO, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return;  // nowhere left to report it
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
}

}  // namespace

void DebugOutput(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  std::lock_guard<std::mutex> lock(SinkMutex());
  if (Sink()) {
    Sink()(text);
  } else {
    WriteToStderr(text);
  }
}

void DebugPrintf(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<std::size_t>(length));
  }
  va_end(args);
  DebugOutput(text);
}

DebugSink SetDebugSink(DebugSink sink) {
  std::lock_guard<std::mutex> lock(SinkMutex());
  DebugSink previous = std::move(Sink());
  Sink() = std::move(sink);
  return previous;
}

DebugCapture::DebugCapture() {
  previous_ = SetDebugSink([this](std::string_view line) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.emplace_back(line);
  });
}

DebugCapture::~DebugCapture() { SetDebugSink(std::move(previous_)); }

std::vector<std::string> DebugCapture::Lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

bool DebugCapture::Contains(std::string_view fragment) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& line : lines_) {
    if (line.find(fragment) != std::string::npos) return true;
  }
  return false;
}

void DebugCapture::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.clear();
}

}  // namespace quorvane::platform
