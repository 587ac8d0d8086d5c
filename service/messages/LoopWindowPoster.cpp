#include "service/messages/LoopWindowPoster.h"

#include <mutex>

namespace TESKTV::SERVICE {

// Shared with the queued messages, which check it when they run.
struct LoopWindowPoster::Target {
  std::mutex mutex;
  bool open = true;
  // Shared so that a handler that closes the poster keeps running.
  std::shared_ptr<const Handler> handler;
};

LoopWindowPoster::LoopWindowPoster(quorvane::platform::EventLoop& loop, Handler handler)
    : loop_(loop), target_(std::make_shared<Target>()) {
  target_->handler = std::make_shared<const Handler>(std::move(handler));
}

LoopWindowPoster::~LoopWindowPoster() { Close(); }

bool LoopWindowPoster::Post(PostedMessage message) {
  {
    std::lock_guard<std::mutex> lock(target_->mutex);
    if (!target_->open) return false;
  }
  loop_.Post([target = target_, message = std::move(message)] {
    std::shared_ptr<const Handler> handler;
    {
      std::lock_guard<std::mutex> lock(target->mutex);
      if (!target->open) return;
      handler = target->handler;
    }
    (*handler)(message);
  });
  return true;
}

void LoopWindowPoster::Close() {
  std::lock_guard<std::mutex> lock(target_->mutex);
  target_->open = false;
}

}  // namespace TESKTV::SERVICE
