#pragma once
// Finding and messaging a window of another program over the session bus
// (FindWindow, PostMessage, SendMessage between programs).
//
// A RemoteWindow names the program that had the window when it was
// found, like a window handle: when that window goes, messages to it fail
// even if another program has since opened a window of the same class.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/base/Result.h"
#include "platform/loop/WindowMessage.h"
#include "platform/winmsg/SdBus.h"

namespace quorvane::platform {

struct RemoteWindow {
  std::string className;
  std::string owner;  // unique bus name of the window's connection
};

// A client connection to the session bus. Not shared between threads.
class WindowBus {
 public:
  static Result<std::unique_ptr<WindowBus>> OpenSession();
  // The calling thread's connection, opened on first use and again when
  // the session bus address has changed or the connection has dropped.
  static Result<WindowBus*> ForThisThread();

  // The window of `className`; with a title, only when its title is
  // exactly that. Nothing when there is no such window.
  Result<std::optional<RemoteWindow>> Find(std::string_view className,
                                           std::optional<std::string_view> title = std::nullopt);
  bool IsWindow(const RemoteWindow& window);
  Result<std::string> Title(const RemoteWindow& window);

  // Queues the message and returns without waiting for it to be handled.
  Status Post(const RemoteWindow& window, const WindowMessage& message);
  // Waits until the window has handled the message, at most `timeout`
  // (nothing: no limit), and returns the handler's result.
  Result<std::int64_t> Send(const RemoteWindow& window, const WindowMessage& message,
                            std::optional<std::chrono::milliseconds> timeout = std::nullopt);

 private:
  WindowBus(sdbus::BusPtr bus, std::string address) : bus_(std::move(bus)), address_(std::move(address)) {}
  Result<bool> HasOwner(const std::string& name);

  sdbus::BusPtr bus_;
  std::string address_;  // $DBUS_SESSION_BUS_ADDRESS when opened
};

// The same on the calling thread's connection. FindWindow reports a bus
// that cannot be reached on the debug output and finds nothing.
std::optional<RemoteWindow> FindWindow(std::string_view className,
                                       std::optional<std::string_view> title = std::nullopt);
Status PostMessage(const RemoteWindow& window, std::uint32_t message, std::uint64_t wParam = 0,
                   std::int64_t lParam = 0);
Result<std::int64_t> SendMessage(const RemoteWindow& window, std::uint32_t message, std::uint64_t wParam = 0,
                                 std::int64_t lParam = 0,
                                 std::optional<std::chrono::milliseconds> timeout = std::nullopt);

}  // namespace quorvane::platform
