#include "platform/winmsg/WindowEndpoint.h"

#include <poll.h>
#include <time.h>

#include <cerrno>

#include "platform/base/Utf16.h"
#include "platform/debug/DebugOutput.h"
#include "platform/winmsg/LocalWindows.h"
#include "platform/winmsg/WindowBusName.h"

namespace quorvane::platform {

// Shared with the replies a handler keeps, which may outlive the endpoint.
struct WindowConnection {
  sdbus::BusPtr bus;                 // null once the endpoint is gone
  std::function<void()> afterOutput;  // lets an attached loop watch for writability
};

namespace {

constexpr char kGoneError[] = "org.freedesktop.DBus.Error.UnknownObject";

const sd_bus_vtable* WindowVtable(sd_bus_message_handler_t post, sd_bus_message_handler_t send,
                                  sd_bus_property_get_t title) {
  static const sd_bus_vtable vtable[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD_WITH_NAMES("PostMessage", "utx", SD_BUS_PARAM(msg) SD_BUS_PARAM(wParam) SD_BUS_PARAM(lParam), "",
                               , post, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD_WITH_NAMES("SendMessage", "utx", SD_BUS_PARAM(msg) SD_BUS_PARAM(wParam) SD_BUS_PARAM(lParam), "x",
                               SD_BUS_PARAM(result), send, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_PROPERTY("Title", "s", title, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
      SD_BUS_VTABLE_END,
  };
  return vtable;
}

std::optional<WindowMessage> ReadMessage(sd_bus_message* call) {
  std::uint32_t message = 0;
  std::uint64_t wParam = 0;
  std::int64_t lParam = 0;
  if (sd_bus_message_read(call, "utx", &message, &wParam, &lParam) < 0) return std::nullopt;
  return WindowMessage{message, wParam, lParam};
}

}  // namespace

SendReply::SendReply(std::shared_ptr<WindowConnection> connection, sdbus::MessagePtr call)
    : connection_(std::move(connection)), call_(std::move(call)) {}

SendReply& SendReply::operator=(SendReply&& other) noexcept {
  if (this != &other) {
    if (Pending()) (*this)(0);
    connection_ = std::move(other.connection_);
    call_ = std::move(other.call_);
  }
  return *this;
}

SendReply::~SendReply() {
  if (Pending()) (*this)(0);
}

void SendReply::operator()(std::int64_t result) {
  if (!call_) return;
  const sdbus::MessagePtr call = std::move(call_);
  if (!connection_ || !connection_->bus) return;  // the window went; the bus tells the sender
  const int r = sd_bus_reply_method_return(call.get(), "x", result);
  if (r < 0) DebugOutput(sdbus::ErrnoError("window message reply", r).message);
  if (connection_->afterOutput) connection_->afterOutput();
}

Result<std::unique_ptr<WindowEndpoint>> WindowEndpoint::Register(std::string_view className, std::string title,
                                                                 Handler handler) {
  return Open(className, std::move(title), [handler = std::move(handler)](const WindowMessage& m, SendReply reply) {
    const std::int64_t result = handler(m);
    reply(result);
  });
}

Result<std::unique_ptr<WindowEndpoint>> WindowEndpoint::RegisterDeferring(std::string_view className,
                                                                          std::string title,
                                                                          DeferringHandler handler) {
  return Open(className, std::move(title), std::move(handler));
}

Result<std::unique_ptr<WindowEndpoint>> WindowEndpoint::Open(std::string_view className, std::string title,
                                                             DeferringHandler handler) {
  auto busName = WindowBusName(className);
  if (!busName) return busName.error();
  if (!IsValidUtf8(title)) return MakeError("window title is not valid UTF-8");
  auto bus = sdbus::OpenSessionBus();
  if (!bus) return bus.error();

  std::unique_ptr<WindowEndpoint> endpoint(new WindowEndpoint);
  endpoint->className_ = std::string(className);
  endpoint->busName_ = std::move(*busName);
  endpoint->title_ = std::move(title);
  endpoint->handler_ = std::move(handler);
  endpoint->connection_ = std::make_shared<WindowConnection>();
  endpoint->connection_->bus = std::move(*bus);
  sd_bus* raw = endpoint->connection_->bus.get();

  sd_bus_slot* slot = nullptr;
  int r = sd_bus_add_object_vtable(raw, &slot, kWindowObjectPath, kWindowInterface,
                                   WindowVtable(&OnPostMessage, &OnSendMessage, &GetTitle), endpoint.get());
  if (r < 0) return sdbus::ErrnoError("cannot serve the window object", r);
  endpoint->vtableSlot_.reset(slot);

  r = sd_bus_request_name(raw, endpoint->busName_.c_str(), 0);
  if (r == -EEXIST) return MakeError("a window of class \"" + endpoint->className_ + "\" exists already");
  if (r < 0) return sdbus::ErrnoError("cannot own " + endpoint->busName_, r);
  const char* unique = nullptr;
  r = sd_bus_get_unique_name(raw, &unique);
  if (r < 0) return sdbus::ErrnoError("no unique bus name", r);
  endpoint->uniqueName_ = unique;
  RememberLocalWindow(endpoint->uniqueName_, endpoint->title_);
  return endpoint;
}

WindowEndpoint::~WindowEndpoint() {
  *alive_ = false;
  Detach();
  if (!uniqueName_.empty()) ForgetLocalWindow(uniqueName_);
  if (!connection_ || !connection_->bus) return;
  sd_bus* bus = connection_->bus.get();
  for (Incoming& item : incoming_) {
    if (item.call) sd_bus_reply_method_errorf(item.call.get(), kGoneError, "the window is gone");
  }
  incoming_.clear();
  sd_bus_release_name(bus, busName_.c_str());
  vtableSlot_.reset();
  connection_->afterOutput = nullptr;
  connection_->bus.reset();  // flushes and closes
}

int WindowEndpoint::OnPostMessage(sd_bus_message* call, void* userdata, sd_bus_error* error) {
  auto* self = static_cast<WindowEndpoint*>(userdata);
  const auto message = ReadMessage(call);
  if (!message) return sd_bus_error_set_const(error, SD_BUS_ERROR_INVALID_ARGS, "expected (u msg, t wParam, x lParam)");
  self->incoming_.push_back(Incoming{*message, nullptr});
  // Posted with no reply expected this sends nothing; a caller that does
  // wait gets an empty answer at once.
  return sd_bus_reply_method_return(call, "");
}

int WindowEndpoint::OnSendMessage(sd_bus_message* call, void* userdata, sd_bus_error* error) {
  auto* self = static_cast<WindowEndpoint*>(userdata);
  const auto message = ReadMessage(call);
  if (!message) return sd_bus_error_set_const(error, SD_BUS_ERROR_INVALID_ARGS, "expected (u msg, t wParam, x lParam)");
  self->incoming_.push_back(Incoming{*message, sdbus::MessagePtr(sd_bus_message_ref(call))});
  return 1;  // answered after the handler ran
}

int WindowEndpoint::GetTitle(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* userdata,
                             sd_bus_error*) {
  auto* self = static_cast<WindowEndpoint*>(userdata);
  return sd_bus_message_append(reply, "s", self->title_.c_str());
}

Status WindowEndpoint::SetTitle(std::string title) {
  if (!IsValidUtf8(title)) return MakeError("window title is not valid UTF-8");
  title_ = std::move(title);
  if (!connection_->bus) return MakeError("the window's bus connection is closed");
  RememberLocalWindow(uniqueName_, title_);
  const int r = sd_bus_emit_properties_changed(connection_->bus.get(), kWindowObjectPath, kWindowInterface, "Title",
                                               nullptr);
  Rearm();
  if (r < 0) return sdbus::ErrnoError("cannot announce the new title", r);
  return Status::Ok();
}

int WindowEndpoint::Fd() const { return connection_->bus ? sd_bus_get_fd(connection_->bus.get()) : -1; }

short WindowEndpoint::Events() const {
  if (!connection_->bus) return 0;
  return sdbus::PollEvents(connection_->bus.get());
}

std::optional<std::chrono::milliseconds> WindowEndpoint::Timeout() const {
  if (!incoming_.empty()) return std::chrono::milliseconds(0);
  if (!connection_->bus) return std::nullopt;
  return sdbus::TimeUntilDue(connection_->bus.get());
}

Status WindowEndpoint::Process() {
  if (!connection_->bus) return MakeError("the window's bus connection is closed");
  const Status status = sdbus::ProcessUntilIdle(connection_->bus.get());
  const auto alive = alive_;
  Deliver();
  if (!*alive) return status;
  Rearm();
  return status;
}

void WindowEndpoint::Deliver() {
  const auto alive = alive_;
  while (!incoming_.empty()) {
    Incoming item = std::move(incoming_.front());
    incoming_.pop_front();
    SendReply reply = item.call ? SendReply(connection_, std::move(item.call)) : SendReply();
    // A copy: the handler may destroy this endpoint.
    const DeferringHandler handler = handler_;
    handler(item.message, std::move(reply));
    if (!*alive) return;
  }
}

Status WindowEndpoint::AttachTo(EventLoop& loop) {
  Detach();
  if (!connection_->bus) return MakeError("the window's bus connection is closed");
  const auto alive = alive_;
  auto watch = loop.WatchFd(Fd(), Events(), [this, alive](short) {
    if (*alive) ProcessFromLoop();
  });
  if (!watch) return watch.error();
  loop_ = &loop;
  watch_ = *watch;
  connection_->afterOutput = [this, alive] {
    if (*alive) Rearm();
  };
  // Taking the name was a blocking call; what arrived meanwhile waits in
  // sd-bus's queue, not on the socket.
  loop.Post([this, alive] {
    if (*alive) ProcessFromLoop();
  });
  Rearm();
  return Status::Ok();
}

void WindowEndpoint::ProcessFromLoop() {
  if (loop_ == nullptr) return;
  const auto alive = alive_;
  const Status status = Process();
  if (!*alive || status) return;
  DebugOutput("window \"" + className_ + "\": " + status.error().message);
  Detach();
}

void WindowEndpoint::Detach() {
  if (loop_ == nullptr) return;
  loop_->RemoveWatch(watch_);
  loop_->KillTimers(reinterpret_cast<std::uintptr_t>(this));
  loop_ = nullptr;
  watch_ = 0;
  if (connection_) connection_->afterOutput = nullptr;
}

void WindowEndpoint::Rearm() {
  if (loop_ == nullptr || !connection_->bus) return;
  (void)loop_->ChangeWatch(watch_, Events());
  const EventLoop::TimerKey key{reinterpret_cast<std::uintptr_t>(this), 1};
  const auto timeout = Timeout();
  if (!timeout) {
    loop_->KillTimer(key);
    return;
  }
  const auto alive = alive_;
  loop_->SetTimer(key, *timeout, [this, alive, key] {
    if (!*alive || loop_ == nullptr) return;
    loop_->KillTimer(key);
    ProcessFromLoop();
  });
}

}  // namespace quorvane::platform
