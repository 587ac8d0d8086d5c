#include "platform/clock/ClockThread.h"

#include "platform/clock/ThreadToken.h"

namespace quorvane::platform {

ClockThread::ClockThread(Clock& clock, std::function<void()> body) {
  const ThreadToken token = NewThreadToken();
  clock.MarkBusy(token);
  thread_ = std::thread([&clock, token, body = std::move(body)] {
    AdoptThreadToken(token);
    body();
    clock.SettleCurrentThread();
  });
}

ClockThread& ClockThread::operator=(ClockThread&& other) noexcept {
  if (this != &other) {
    Join();
    thread_ = std::move(other.thread_);
  }
  return *this;
}

void ClockThread::Join() {
  if (!thread_.joinable()) return;
  // A thread cannot join itself; ending it from its own body lets it run out.
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

}  // namespace quorvane::platform
