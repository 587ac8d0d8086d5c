#pragma once
// Where a client finds the service: on the system bus when it runs (or can
// be started) there as a system service, else on the session bus, where a
// plain process serves its user and the bus starts it on demand.

#include <string_view>

#include "platform/base/Result.h"
#include "platform/winmsg/SdBus.h"

namespace quorvane::automation {

enum class BusChoice {
  kAuto,     // the system bus when the service is there, else the session bus
  kSystem,
  kSession,
};

enum class BusKind { kSystem, kSession };

std::string_view BusKindName(BusKind kind);

struct LocatedBus {
  platform::sdbus::BusPtr bus;
  BusKind kind = BusKind::kSession;
};

// A new connection to the bus chosen. With kAuto the system bus counts
// when the service's name has an owner there or is activatable there.
platform::Result<LocatedBus> OpenServiceBus(BusChoice choice);

// Whether `name` has an owner on `bus`, or the bus can start it.
platform::Result<bool> NameIsReachable(sd_bus* bus, const char* name);

}  // namespace quorvane::automation
