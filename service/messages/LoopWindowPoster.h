#pragma once
// A WindowPoster that queues the messages on an event loop: the handler
// runs on the loop's thread, in the order the messages were posted. After
// Close (or destruction) posting fails and queued messages are dropped, as
// messages to a destroyed window are.

#include <functional>
#include <memory>

#include "platform/loop/EventLoop.h"
#include "service/messages/WindowPoster.h"

namespace TESKTV::SERVICE {

class LoopWindowPoster final : public WindowPoster {
 public:
  using Handler = std::function<void(const PostedMessage&)>;

  // The loop must outlive this poster.
  LoopWindowPoster(quorvane::platform::EventLoop& loop, Handler handler);
  ~LoopWindowPoster() override;
  LoopWindowPoster(const LoopWindowPoster&) = delete;
  LoopWindowPoster& operator=(const LoopWindowPoster&) = delete;

  bool Post(PostedMessage message) override;
  // Any thread; a message being handled at that moment finishes.
  void Close();

 private:
  struct Target;
  quorvane::platform::EventLoop& loop_;
  std::shared_ptr<Target> target_;
};

}  // namespace TESKTV::SERVICE
