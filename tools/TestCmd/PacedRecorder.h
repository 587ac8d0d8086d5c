#pragma once
// Feeds a TsPieceWriter in real time: after t seconds of recording it has
// written the packets that t seconds at the video bit rate amount to,
// topping up every 100 ms of the clock, until the limit or a stop.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/base/Result.h"
#include "platform/clock/Clock.h"
#include "tools/TestCmd/TsPieceWriter.h"

namespace quorvane::tools::testcmd {

struct RecordingOutcome {
  bool stopped = false;          // ended by Stop before the limit
  std::chrono::milliseconds recorded{0};
};

class PacedRecorder {
 public:
  static constexpr std::chrono::milliseconds kStep{100};

  explicit PacedRecorder(platform::Clock& clock) : clock_(clock) {}
  PacedRecorder(const PacedRecorder&) = delete;
  PacedRecorder& operator=(const PacedRecorder&) = delete;

  // Whole packets due after `elapsed` at `kbps` kbit/s.
  static std::int64_t PacketsAfter(std::chrono::milliseconds elapsed, std::int64_t kbps);

  platform::Result<RecordingOutcome> Record(std::chrono::seconds limit, std::int64_t kbps, TsPieceWriter& writer);

  // Any thread, also before Record: Record writes what is due so far and
  // returns.
  void Stop();

 private:
  platform::Clock& clock_;
  std::mutex mutex_;
  std::condition_variable_any wake_;
  bool stop_ = false;
};

}  // namespace quorvane::tools::testcmd
