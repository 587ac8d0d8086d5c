#include "platform/session/SessionMessage.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include "platform/winmsg/SdBus.h"

namespace quorvane::platform {
namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kObject = "/org/freedesktop/Notifications";
constexpr const char* kInterface = "org.freedesktop.Notifications";
// How long the notification server may take to accept the message.
constexpr std::uint64_t kCallTimeoutUsec = 5'000'000;

// Notification bodies may be read as markup.
std::string EscapeMarkup(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

Result<sdbus::BusPtr> OpenBusOf(const ConsoleUser& user) {
  sd_bus* bus = nullptr;
  int rc = 0;
  if (user.uid == geteuid()) {
    rc = sd_bus_open_user(&bus);
  } else if (geteuid() == 0 && !user.name.empty()) {
    rc = sd_bus_open_user_machine(&bus, (user.name + "@.host").c_str());
  } else {
    return MakeError("no access to the session bus of uid " + std::to_string(user.uid));
  }
  if (rc < 0) return sdbus::ErrnoError("cannot connect to the session bus of uid " + std::to_string(user.uid), rc);
  return sdbus::BusPtr(bus);
}

}  // namespace

Result<int> NotificationMessenger::Show(const ConsoleUser& user, std::string_view title, std::string_view text,
                                        std::chrono::seconds timeout) {
  auto bus = OpenBusOf(user);
  if (!bus.ok()) return bus.error();
  sd_bus_message* raw = nullptr;
  int rc = sd_bus_message_new_method_call(bus->get(), &raw, kService, kObject, kInterface, "Notify");
  if (rc < 0) return sdbus::ErrnoError("notification", rc);
  sdbus::MessagePtr call(raw);
  const std::string summary(title);
  const std::string body = EscapeMarkup(text);
  const auto expire = static_cast<std::int32_t>(std::chrono::milliseconds(timeout).count());
  rc = sd_bus_message_append(call.get(), "susss", kAppName, 0u, "dialog-warning", summary.c_str(), body.c_str());
  // One action, the OK button; an urgent notification stays until it expires.
  if (rc >= 0) rc = sd_bus_message_append(call.get(), "as", 2, "default", "OK");
  if (rc >= 0) rc = sd_bus_message_append(call.get(), "a{sv}", 1, "urgency", "y", static_cast<std::uint8_t>(2));
  if (rc >= 0) rc = sd_bus_message_append(call.get(), "i", expire);
  if (rc < 0) return sdbus::ErrnoError("notification", rc);

  sdbus::BusError error;
  sd_bus_message* reply = nullptr;
  rc = sd_bus_call(bus->get(), call.get(), kCallTimeoutUsec, error.get(), &reply);
  sdbus::MessagePtr owned(reply);
  if (rc < 0) return MakeError(error.Describe("notification not shown", rc));
  return kMessageAnswerAsync;
}

Result<int> RecordingMessenger::Show(const ConsoleUser& user, std::string_view title, std::string_view text,
                                     std::chrono::seconds timeout) {
  std::lock_guard lock(mutex_);
  messages_.push_back({user, std::string(title), std::string(text), timeout});
  return answer_;
}

std::vector<RecordingMessenger::Message> RecordingMessenger::Messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

}  // namespace quorvane::platform
