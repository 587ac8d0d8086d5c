#pragma once
// A window that other programs find and message over the session bus (see
// WindowBusName.h). The endpoint has its own bus connection, which owns
// the class's bus name while the endpoint lives.
//
// Messages are handed to the handler after the bus has been read, never
// from inside sd-bus, so a handler may run a nested loop (a modal dialog)
// that processes this endpoint again. Messages are handled in arrival
// order, on the thread that calls Process.
//
// It runs inside any event loop: poll Fd() for Events() with at most
// Timeout(), then call Process(); or AttachTo a platform EventLoop.
//
// The program itself may find its own windows and post to them; a send
// from the thread that serves the window would wait for itself.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/base/Result.h"
#include "platform/loop/EventLoop.h"
#include "platform/loop/WindowMessage.h"
#include "platform/winmsg/SdBus.h"

namespace quorvane::platform {

struct WindowConnection;

// The answer to one SendMessage. A handler may keep it and answer later
// (after a modal dialog closed), on the endpoint's thread. An answer never
// given is 0 when the object goes. For posted messages it is empty and
// answering does nothing.
class SendReply {
 public:
  SendReply() = default;
  SendReply(std::shared_ptr<WindowConnection> connection, sdbus::MessagePtr call);
  SendReply(SendReply&&) noexcept = default;
  SendReply& operator=(SendReply&& other) noexcept;
  SendReply(const SendReply&) = delete;
  SendReply& operator=(const SendReply&) = delete;
  ~SendReply();

  bool Pending() const { return call_ != nullptr; }
  void operator()(std::int64_t result);

 private:
  std::shared_ptr<WindowConnection> connection_;
  sdbus::MessagePtr call_;
};

class WindowEndpoint {
 public:
  // Returns the result of a sent message (ignored for posted ones).
  using Handler = std::function<std::int64_t(const WindowMessage&)>;
  // Answers sent messages through the reply, now or later.
  using DeferringHandler = std::function<void(const WindowMessage&, SendReply reply)>;

  // Connects to the session bus and takes the class's name; fails when
  // another program has a window of that class. The title must be UTF-8.
  static Result<std::unique_ptr<WindowEndpoint>> Register(std::string_view className, std::string title,
                                                          Handler handler);
  static Result<std::unique_ptr<WindowEndpoint>> RegisterDeferring(std::string_view className, std::string title,
                                                                   DeferringHandler handler);
  // Gives the name up and closes the connection; messages still queued are
  // dropped and sends not yet answered get an error.
  ~WindowEndpoint();
  WindowEndpoint(const WindowEndpoint&) = delete;
  WindowEndpoint& operator=(const WindowEndpoint&) = delete;

  const std::string& className() const { return className_; }
  const std::string& busName() const { return busName_; }
  const std::string& title() const { return title_; }
  Status SetTitle(std::string title);

  // For a host loop: the connection's fd, the poll events to wait for,
  // and the longest wait (nothing: no limit).
  int Fd() const;
  short Events() const;
  std::optional<std::chrono::milliseconds> Timeout() const;
  // Reads and writes what the connection has, then hands the messages
  // that came to the handler. An error means the connection is gone.
  Status Process();

  // Lets `loop` drive the endpoint (fd watch plus a timer for the
  // connection's timeout); the loop must outlive the attachment.
  Status AttachTo(EventLoop& loop);
  void Detach();

 private:
  struct Incoming {
    WindowMessage message;
    sdbus::MessagePtr call;  // null for posted messages
  };

  WindowEndpoint() = default;
  static Result<std::unique_ptr<WindowEndpoint>> Open(std::string_view className, std::string title,
                                                      DeferringHandler handler);
  static int OnPostMessage(sd_bus_message* call, void* userdata, sd_bus_error* error);
  static int OnSendMessage(sd_bus_message* call, void* userdata, sd_bus_error* error);
  static int GetTitle(sd_bus* bus, const char* path, const char* interface, const char* property,
                      sd_bus_message* reply, void* userdata, sd_bus_error* error);
  void Deliver();
  void ProcessFromLoop();  // Process for an attached loop; detaches on error
  void Rearm();  // after anything that may have changed events or timeout

  std::string className_;
  std::string busName_;
  std::string title_;
  std::string uniqueName_;  // of the connection, once the name is taken
  DeferringHandler handler_;
  std::shared_ptr<WindowConnection> connection_;
  sdbus::SlotPtr vtableSlot_;
  std::deque<Incoming> incoming_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

  EventLoop* loop_ = nullptr;
  EventLoop::WatchId watch_ = 0;
};

}  // namespace quorvane::platform
