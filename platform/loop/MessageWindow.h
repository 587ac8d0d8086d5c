#pragma once
// A window of one program: a message handler on an event loop. Messages
// are posted from any thread (queued, handled in order on the loop's
// thread) or sent (handled before SendMessage returns, with the handler's
// result). Window timers deliver kTimerMessage with the timer id.
//
// Other threads hold a WindowHandle rather than the window: like a window
// handle it stays safe to use after the window is gone, and messages to a
// gone window are dropped.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/loop/EventLoop.h"
#include "platform/loop/WindowMessage.h"

namespace quorvane::platform {

class WindowHandle {
 public:
  struct Core;

  WindowHandle() = default;
  explicit WindowHandle(std::shared_ptr<Core> core) : core_(std::move(core)) {}

  // Whether the window still exists.
  bool IsWindow() const;
  explicit operator bool() const { return IsWindow(); }

  // Any thread. False when the window is gone.
  bool PostMessage(std::uint32_t message, std::uint64_t wParam = 0, std::int64_t lParam = 0) const;
  // On the window's thread the handler runs at once; from another thread
  // this waits (on the loop's clock) until the loop has handled it.
  // Nothing when the window is gone before the message was handled.
  std::optional<std::int64_t> SendMessage(std::uint32_t message, std::uint64_t wParam = 0,
                                          std::int64_t lParam = 0) const;

  bool operator==(const WindowHandle& other) const { return core_ == other.core_; }

 private:
  std::shared_ptr<Core> core_;
};

class MessageWindow {
 public:
  using Handler = std::function<std::int64_t(const WindowMessage&)>;

  // Create and destroy on the loop's thread; the loop must outlive it.
  MessageWindow(EventLoop& loop, Handler handler);
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  WindowHandle Handle() const { return WindowHandle(core_); }
  EventLoop& loop() const { return loop_; }

  bool PostMessage(std::uint32_t message, std::uint64_t wParam = 0, std::int64_t lParam = 0) const {
    return Handle().PostMessage(message, wParam, lParam);
  }
  std::optional<std::int64_t> SendMessage(std::uint32_t message, std::uint64_t wParam = 0,
                                          std::int64_t lParam = 0) const {
    return Handle().SendMessage(message, wParam, lParam);
  }

  // Periodic window timer: kTimerMessage with wParam = id every interval.
  // Setting an id again replaces that timer.
  void SetTimer(std::uint64_t id, std::chrono::milliseconds interval);
  bool KillTimer(std::uint64_t id);

 private:
  EventLoop& loop_;
  std::shared_ptr<WindowHandle::Core> core_;
};

}  // namespace quorvane::platform
