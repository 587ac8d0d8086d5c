#pragma once
// The system debugger output: one line per call, on stderr by default,
// written with a single write() so that lines from several threads and
// processes never interleave. Tests replace the sink to capture lines.

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::platform {

// Writes `text` as one line; trailing line breaks are dropped and one is added.
void DebugOutput(std::string_view text);
void DebugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Receives each line without its line break. Called under a lock, so a
// sink sees one line at a time and must not write debug output itself.
using DebugSink = std::function<void(std::string_view line)>;
// Installs `sink` (an empty one restores stderr) and returns the previous one.
DebugSink SetDebugSink(DebugSink sink);

// Collects the debug lines written while it lives; restores the previous
// sink on destruction.
class DebugCapture {
 public:
  DebugCapture();
  ~DebugCapture();
  DebugCapture(const DebugCapture&) = delete;
  DebugCapture& operator=(const DebugCapture&) = delete;

  std::vector<std::string> Lines() const;
  bool Contains(std::string_view fragment) const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  DebugSink previous_;
};

}  // namespace quorvane::platform
