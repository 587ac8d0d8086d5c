#include "platform/winmsg/SdBus.h"

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

}  // namespace quorvane::platform::sdbus
