#include "platform/winmsg/SdBus.h"

#include <poll.h>
#include <time.h>

#include <cstring>

namespace quorvane::platform::sdbus {

std::string BusError::Describe(const std::string& what, int result) const {
  if (IsSet()) {
    std::string text = what + ": " + error_.name;
    if (error_.message != nullptr) text += std::string(": ") + error_.message;
    return text;
  }
  return what + ": " + std::strerror(-result);
}

Error ErrnoError(const std::string& what, int negativeErrno) {
  return MakeError(what + ": " + std::strerror(-negativeErrno));
}

Result<BusPtr> OpenSessionBus() {
  sd_bus* bus = nullptr;
  const int result = sd_bus_open_user(&bus);
  if (result < 0) return ErrnoError("cannot connect to the session bus", result);
  return BusPtr(bus);
}

Status ProcessUntilIdle(sd_bus* bus) {
  for (;;) {
    const int result = sd_bus_process(bus, nullptr);
    if (result < 0) return ErrnoError("bus connection", result);
    if (result == 0) return Status::Ok();
  }
}

short PollEvents(sd_bus* bus) {
  const int events = sd_bus_get_events(bus);
  return events < 0 ? POLLIN : static_cast<short>(events);
}

std::optional<std::chrono::milliseconds> TimeUntilDue(sd_bus* bus) {
  std::uint64_t due = 0;
  if (sd_bus_get_timeout(bus, &due) < 0 || due == UINT64_MAX) return std::nullopt;
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  const std::uint64_t nowUs =
      static_cast<std::uint64_t>(now.tv_sec) * 1000000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
  if (due <= nowUs) return std::chrono::milliseconds(0);
  return std::chrono::milliseconds((due - nowUs + 999) / 1000);
}

}  // namespace quorvane::platform::sdbus
