#include "tools/TestCmd/PacedRecorder.h"

#include <algorithm>

namespace quorvane::tools::testcmd {

std::int64_t PacedRecorder::PacketsAfter(std::chrono::milliseconds elapsed, std::int64_t kbps) {
  // kbit/s * 1000 / 8 bytes per second; split into seconds and the rest so
  // that long recordings at high rates stay within 64 bits.
  const std::int64_t bytesPerSecond = kbps * 125;
  const std::int64_t ms = std::max<std::int64_t>(0, elapsed.count());
  const std::int64_t bytes = (ms / 1000) * bytesPerSecond + (ms % 1000) * bytesPerSecond / 1000;
  return bytes / kTsPacketBytes;
}

platform::Result<RecordingOutcome> PacedRecorder::Record(std::chrono::seconds limit, std::int64_t kbps,
                                                         TsPieceWriter& writer) {
  using std::chrono::milliseconds;
  if (platform::Status opened = writer.Open(); !opened) return opened.error();
  const platform::MonoTime start = clock_.Mono();
  const milliseconds total = std::chrono::duration_cast<milliseconds>(limit);
  std::int64_t written = 0;
  RecordingOutcome outcome;
  for (;;) {
    const milliseconds elapsed =
        std::min(total, std::chrono::duration_cast<milliseconds>(clock_.Mono() - start));
    const std::int64_t due = PacketsAfter(elapsed, kbps);
    if (platform::Status status = writer.WritePackets(due - written); !status) return status.error();
    written = due;
    outcome.recorded = elapsed;
    if (elapsed >= total) break;

    const milliseconds next = std::min(total, (elapsed / kStep + 1) * kStep);
    std::unique_lock<std::mutex> lock(mutex_);
    if (clock_.WaitUntil(lock, wake_, start + next, [this] { return stop_; })) {
      outcome.stopped = true;
      lock.unlock();
      const milliseconds stoppedAt =
          std::min(total, std::chrono::duration_cast<milliseconds>(clock_.Mono() - start));
      const std::int64_t last = PacketsAfter(stoppedAt, kbps);
      if (platform::Status status = writer.WritePackets(last - written); !status) return status.error();
      outcome.recorded = stoppedAt;
      break;
    }
  }
  if (platform::Status closed = writer.Close(); !closed) return closed.error();
  return outcome;
}

void PacedRecorder::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  clock_.Notify(wake_);
}

}  // namespace quorvane::tools::testcmd
