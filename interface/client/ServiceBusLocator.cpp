#include "interface/client/ServiceBusLocator.h"

#include <cstring>

#include "interface/bus/ScheduleProgramBus.h"

namespace quorvane::automation {

namespace sdbus = platform::sdbus;
using platform::MakeError;
using platform::Result;

namespace {

constexpr char kDBusService[] = "org.freedesktop.DBus";
constexpr char kDBusPath[] = "/org/freedesktop/DBus";
constexpr char kDBusInterface[] = "org.freedesktop.DBus";

Result<sdbus::BusPtr> Open(BusKind kind) {
  sd_bus* raw = nullptr;
  const int r = kind == BusKind::kSystem ? sd_bus_open_system(&raw) : sd_bus_open_user(&raw);
  if (r < 0) {
    return sdbus::ErrnoError(std::string("cannot connect to the ") + std::string(BusKindName(kind)) + " bus", r);
  }
  return sdbus::BusPtr(raw);
}

}  // namespace

std::string_view BusKindName(BusKind kind) { return kind == BusKind::kSystem ? "system" : "session"; }

Result<bool> NameIsReachable(sd_bus* bus, const char* name) {
  {
    sdbus::BusError error;
    sd_bus_message* raw = nullptr;
    const int r = sd_bus_call_method(bus, kDBusService, kDBusPath, kDBusInterface, "NameHasOwner", error.get(), &raw,
                                     "s", name);
    sdbus::MessagePtr reply(raw);
    (void)sdbus::ProcessUntilIdle(bus);
    if (r < 0) return MakeError(error.Describe("NameHasOwner", r));
    int has = 0;
    if (sd_bus_message_read(reply.get(), "b", &has) < 0) return MakeError("NameHasOwner: malformed reply");
    if (has) return true;
  }
  sdbus::BusError error;
  sd_bus_message* raw = nullptr;
  const int r =
      sd_bus_call_method(bus, kDBusService, kDBusPath, kDBusInterface, "ListActivatableNames", error.get(), &raw, "");
  sdbus::MessagePtr reply(raw);
  (void)sdbus::ProcessUntilIdle(bus);
  if (r < 0) return MakeError(error.Describe("ListActivatableNames", r));
  if (sd_bus_message_enter_container(reply.get(), 'a', "s") < 0) {
    return MakeError("ListActivatableNames: malformed reply");
  }
  const char* entry = nullptr;
  while (sd_bus_message_read(reply.get(), "s", &entry) > 0) {
    if (std::strcmp(entry, name) == 0) return true;
  }
  return false;
}

Result<LocatedBus> OpenServiceBus(BusChoice choice) {
  if (choice == BusChoice::kSystem || choice == BusChoice::kSession) {
    const BusKind kind = choice == BusChoice::kSystem ? BusKind::kSystem : BusKind::kSession;
    auto bus = Open(kind);
    if (!bus) return bus.error();
    return LocatedBus{std::move(*bus), kind};
  }
  // A system bus that cannot be reached or does not know the service is
  // no reason to fail: the session bus is the next place to look.
  if (auto system = Open(BusKind::kSystem)) {
    auto reachable = NameIsReachable(system->get(), kBusName);
    if (reachable && *reachable) return LocatedBus{std::move(*system), BusKind::kSystem};
  }
  auto session = Open(BusKind::kSession);
  if (!session) return session.error();
  return LocatedBus{std::move(*session), BusKind::kSession};
}

}  // namespace quorvane::automation
