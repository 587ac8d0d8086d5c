#pragma once
// Ownership of sd-bus objects and the small steps every user of a
// connection repeats.

#include <chrono>
#include <optional>
#include <systemd/sd-bus.h>

#include <memory>
#include <string>

#include "platform/base/Result.h"

namespace quorvane::platform::sdbus {

struct BusUnref {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct MessageUnref {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
struct SlotUnref {
  void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};

using BusPtr = std::unique_ptr<sd_bus, BusUnref>;
using MessagePtr = std::unique_ptr<sd_bus_message, MessageUnref>;
using SlotPtr = std::unique_ptr<sd_bus_slot, SlotUnref>;

// Frees what an sd_bus_error holds when it goes out of scope.
class BusError {
 public:
  BusError() = default;
  ~BusError() { sd_bus_error_free(&error_); }
  BusError(const BusError&) = delete;
  BusError& operator=(const BusError&) = delete;

  sd_bus_error* get() { return &error_; }
  bool IsSet() const { return sd_bus_error_is_set(&error_) != 0; }
  bool HasName(const char* name) const { return sd_bus_error_has_name(&error_, name) != 0; }
  // "what: <error name>: <message>", or the errno text when no error reply came.
  std::string Describe(const std::string& what, int result) const;

 private:
  sd_bus_error error_ = SD_BUS_ERROR_NULL;
};

Error ErrnoError(const std::string& what, int negativeErrno);

// Connects to the session bus ($DBUS_SESSION_BUS_ADDRESS).
Result<BusPtr> OpenSessionBus();

// Runs sd_bus_process until nothing is left. After a synchronous call
// messages that arrived meanwhile sit in the read queue while the socket
// is no longer readable; only this gets them handled.
Status ProcessUntilIdle(sd_bus* bus);

// What a poll loop waits for on the bus fd (POLLIN when sd-bus cannot say).
short PollEvents(sd_bus* bus);
// Time until sd-bus has something due (a call timing out), or nothing.
std::optional<std::chrono::milliseconds> TimeUntilDue(sd_bus* bus);

}  // namespace quorvane::platform::sdbus
