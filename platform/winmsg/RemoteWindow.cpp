#include "platform/winmsg/RemoteWindow.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/debug/DebugOutput.h"
#include "platform/winmsg/LocalWindows.h"
#include "platform/winmsg/WindowBusName.h"

namespace quorvane::platform {

namespace {

constexpr char kBusService[] = "org.freedesktop.DBus";
constexpr char kBusPath[] = "/org/freedesktop/DBus";
constexpr char kBusInterface[] = "org.freedesktop.DBus";

std::string SessionAddress() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  return address != nullptr ? address : "";
}

// Errors that mean the window's program is no longer there.
bool IsGone(const sdbus::BusError& error) {
  return error.HasName(SD_BUS_ERROR_SERVICE_UNKNOWN) || error.HasName(SD_BUS_ERROR_NAME_HAS_NO_OWNER) ||
         error.HasName(SD_BUS_ERROR_NO_REPLY) || error.HasName(SD_BUS_ERROR_UNKNOWN_OBJECT) ||
         error.HasName(SD_BUS_ERROR_DISCONNECTED);
}

Result<sdbus::MessagePtr> NewWindowCall(sd_bus* bus, const RemoteWindow& window, const char* method,
                                        const WindowMessage& message) {
  sd_bus_message* raw = nullptr;
  int r = sd_bus_message_new_method_call(bus, &raw, window.owner.c_str(), kWindowObjectPath, kWindowInterface, method);
  if (r < 0) return sdbus::ErrnoError(std::string("cannot build ") + method, r);
  sdbus::MessagePtr call(raw);
  r = sd_bus_message_append(call.get(), "utx", message.message, message.wParam, message.lParam);
  if (r < 0) return sdbus::ErrnoError(std::string("cannot build ") + method, r);
  return call;
}

}  // namespace

Result<std::unique_ptr<WindowBus>> WindowBus::OpenSession() {
  std::string address = SessionAddress();
  auto bus = sdbus::OpenSessionBus();
  if (!bus) return bus.error();
  return std::unique_ptr<WindowBus>(new WindowBus(std::move(*bus), std::move(address)));
}

Result<WindowBus*> WindowBus::ForThisThread() {
  thread_local std::unique_ptr<WindowBus> connection;
  if (!connection || connection->address_ != SessionAddress() || sd_bus_is_open(connection->bus_.get()) <= 0) {
    connection.reset();
    auto opened = OpenSession();
    if (!opened) return opened.error();
    connection = std::move(*opened);
  }
  return connection.get();
}

Result<bool> WindowBus::HasOwner(const std::string& name) {
  sdbus::BusError error;
  sd_bus_message* raw = nullptr;
  const int r = sd_bus_call_method(bus_.get(), kBusService, kBusPath, kBusInterface, "NameHasOwner", error.get(), &raw,
                                   "s", name.c_str());
  sdbus::MessagePtr reply(raw);
  (void)sdbus::ProcessUntilIdle(bus_.get());
  if (r < 0) return MakeError(error.Describe("NameHasOwner", r));
  int has = 0;
  if (sd_bus_message_read(reply.get(), "b", &has) < 0) return MakeError("NameHasOwner: malformed reply");
  return has != 0;
}

Result<std::optional<RemoteWindow>> WindowBus::Find(std::string_view className,
                                                     std::optional<std::string_view> title) {
  auto busName = WindowBusName(className);
  if (!busName) return busName.error();
  sdbus::BusError error;
  sd_bus_message* raw = nullptr;
  const int r = sd_bus_call_method(bus_.get(), kBusService, kBusPath, kBusInterface, "GetNameOwner", error.get(), &raw,
                                   "s", busName->c_str());
  sdbus::MessagePtr reply(raw);
  (void)sdbus::ProcessUntilIdle(bus_.get());
  if (r < 0) {
    if (error.HasName(SD_BUS_ERROR_NAME_HAS_NO_OWNER)) return std::optional<RemoteWindow>();
    return MakeError(error.Describe("GetNameOwner", r));
  }
  const char* owner = nullptr;
  if (sd_bus_message_read(reply.get(), "s", &owner) < 0 || owner == nullptr) {
    return MakeError("GetNameOwner: malformed reply");
  }
  RemoteWindow window{std::string(className), owner};
  if (title) {
    auto actual = Title(window);
    // A window that went between the two questions is not there.
    if (!actual || *actual != *title) return std::optional<RemoteWindow>();
  }
  return std::optional<RemoteWindow>(std::move(window));
}

bool WindowBus::IsWindow(const RemoteWindow& window) {
  auto has = HasOwner(window.owner);
  return has && *has;
}

Result<std::string> WindowBus::Title(const RemoteWindow& window) {
  if (auto local = LocalWindowTitle(window.owner)) return std::move(*local);
  sdbus::BusError error;
  char* title = nullptr;
  const int r = sd_bus_get_property_string(bus_.get(), window.owner.c_str(), kWindowObjectPath, kWindowInterface,
                                           "Title", error.get(), &title);
  (void)sdbus::ProcessUntilIdle(bus_.get());
  if (r < 0) return MakeError(error.Describe("window title", r));
  std::string text(title);
  std::free(title);
  return text;
}

Status WindowBus::Post(const RemoteWindow& window, const WindowMessage& message) {
  // A post is never answered, so a window that has gone would not be
  // noticed; ask first, as posting to a stale window handle fails.
  auto has = HasOwner(window.owner);
  if (!has) return has.error();
  if (!*has) return MakeError("the window of class \"" + window.className + "\" is gone");
  auto call = NewWindowCall(bus_.get(), window, "PostMessage", message);
  if (!call) return call.error();
  int r = sd_bus_message_set_expect_reply(call->get(), 0);
  if (r >= 0) r = sd_bus_send(bus_.get(), call->get(), nullptr);
  if (r >= 0) r = sd_bus_flush(bus_.get());
  if (r < 0) return sdbus::ErrnoError("PostMessage", r);
  return sdbus::ProcessUntilIdle(bus_.get());
}

Result<std::int64_t> WindowBus::Send(const RemoteWindow& window, const WindowMessage& message,
                                     std::optional<std::chrono::milliseconds> timeout) {
  auto call = NewWindowCall(bus_.get(), window, "SendMessage", message);
  if (!call) return call.error();
  std::uint64_t usec = UINT64_MAX;  // no limit
  if (timeout) usec = static_cast<std::uint64_t>(std::max<std::int64_t>(timeout->count(), 1)) * 1000u;
  sdbus::BusError error;
  sd_bus_message* raw = nullptr;
  const int r = sd_bus_call(bus_.get(), call->get(), usec, error.get(), &raw);
  sdbus::MessagePtr reply(raw);
  (void)sdbus::ProcessUntilIdle(bus_.get());
  if (r == -ETIMEDOUT) return MakeError("SendMessage to \"" + window.className + "\": no answer in time");
  if (r < 0 && IsGone(error)) return MakeError("the window of class \"" + window.className + "\" is gone");
  if (r < 0) return MakeError(error.Describe("SendMessage", r));
  std::int64_t result = 0;
  if (sd_bus_message_read(reply.get(), "x", &result) < 0) return MakeError("SendMessage: malformed reply");
  return result;
}

std::optional<RemoteWindow> FindWindow(std::string_view className, std::optional<std::string_view> title) {
  auto bus = WindowBus::ForThisThread();
  if (!bus) {
    DebugOutput("FindWindow \"" + std::string(className) + "\": " + bus.error().message);
    return std::nullopt;
  }
  auto found = (*bus)->Find(className, title);
  if (!found) {
    DebugOutput("FindWindow \"" + std::string(className) + "\": " + found.error().message);
    return std::nullopt;
  }
  return std::move(*found);
}

Status PostMessage(const RemoteWindow& window, std::uint32_t message, std::uint64_t wParam, std::int64_t lParam) {
  auto bus = WindowBus::ForThisThread();
  if (!bus) return bus.error();
  return (*bus)->Post(window, WindowMessage{message, wParam, lParam});
}

Result<std::int64_t> SendMessage(const RemoteWindow& window, std::uint32_t message, std::uint64_t wParam,
                                 std::int64_t lParam, std::optional<std::chrono::milliseconds> timeout) {
  auto bus = WindowBus::ForThisThread();
  if (!bus) return bus.error();
  return (*bus)->Send(window, WindowMessage{message, wParam, lParam}, timeout);
}

}  // namespace quorvane::platform
