#include "platform/loop/MessageWindow.h"

#include <condition_variable>
#include <mutex>

namespace quorvane::platform {

struct WindowHandle::Core {
  std::mutex mutex;
  EventLoop* loop = nullptr;  // null once the window is gone
  // Shared so that a handler that destroys its own window keeps running.
  std::shared_ptr<const MessageWindow::Handler> handler;

  std::uintptr_t TimerOwner() const { return reinterpret_cast<std::uintptr_t>(this); }
};

namespace {

using Core = WindowHandle::Core;

// On the loop's thread.
std::optional<std::int64_t> Deliver(Core& core, const WindowMessage& message) {
  std::shared_ptr<const MessageWindow::Handler> handler;
  {
    std::lock_guard<std::mutex> lock(core.mutex);
    if (core.loop == nullptr) return std::nullopt;
    handler = core.handler;
  }
  return (*handler)(message);
}

// Where a cross-thread send waits for its result.
struct SendSlot {
  explicit SendSlot(Clock& c) : clock(c) {}
  Clock& clock;
  std::mutex mutex;
  std::condition_variable_any cv;
  bool finished = false;
  std::optional<std::int64_t> result;

  void Finish(std::optional<std::int64_t> value) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (finished) return;
      finished = true;
      result = value;
    }
    clock.Notify(cv);
  }
};

// Travels with the queued send; if the queue drops it unhandled (the loop
// goes away), the sender learns so instead of waiting forever.
struct SendTicket {
  std::shared_ptr<SendSlot> slot;
  ~SendTicket() {
    if (slot) slot->Finish(std::nullopt);
  }
};

}  // namespace

bool WindowHandle::IsWindow() const {
  if (!core_) return false;
  std::lock_guard<std::mutex> lock(core_->mutex);
  return core_->loop != nullptr;
}

bool WindowHandle::PostMessage(std::uint32_t message, std::uint64_t wParam, std::int64_t lParam) const {
  if (!core_) return false;
  std::lock_guard<std::mutex> lock(core_->mutex);
  if (core_->loop == nullptr) return false;
  core_->loop->Post([core = core_, m = WindowMessage{message, wParam, lParam}] { Deliver(*core, m); });
  return true;
}

std::optional<std::int64_t> WindowHandle::SendMessage(std::uint32_t message, std::uint64_t wParam,
                                                      std::int64_t lParam) const {
  if (!core_) return std::nullopt;
  const WindowMessage m{message, wParam, lParam};
  std::shared_ptr<SendSlot> slot;
  {
    std::lock_guard<std::mutex> lock(core_->mutex);
    EventLoop* loop = core_->loop;
    if (loop == nullptr) return std::nullopt;
    if (!loop->IsLoopThread()) {
      slot = std::make_shared<SendSlot>(loop->clock());
      auto ticket = std::make_shared<SendTicket>();
      ticket->slot = slot;
      loop->Post([core = core_, ticket, m] { ticket->slot->Finish(Deliver(*core, m)); });
    }
  }
  if (!slot) return Deliver(*core_, m);
  std::unique_lock<std::mutex> lock(slot->mutex);
  slot->clock.WaitUntil(lock, slot->cv, kNoDeadline, [&] { return slot->finished; });
  return slot->result;
}

MessageWindow::MessageWindow(EventLoop& loop, Handler handler)
    : loop_(loop), core_(std::make_shared<WindowHandle::Core>()) {
  core_->loop = &loop;
  core_->handler = std::make_shared<const Handler>(std::move(handler));
}

MessageWindow::~MessageWindow() {
  loop_.KillTimers(core_->TimerOwner());
  std::lock_guard<std::mutex> lock(core_->mutex);
  core_->loop = nullptr;
}

void MessageWindow::SetTimer(std::uint64_t id, std::chrono::milliseconds interval) {
  loop_.SetTimer(EventLoop::TimerKey{core_->TimerOwner(), id}, interval,
                 [core = core_, id] { Deliver(*core, WindowMessage{kTimerMessage, id, 0}); });
}

bool MessageWindow::KillTimer(std::uint64_t id) {
  return loop_.KillTimer(EventLoop::TimerKey{core_->TimerOwner(), id});
}

}  // namespace quorvane::platform
