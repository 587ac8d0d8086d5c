#pragma once
// The service's bus connection as its bus objects share it: sending a
// reply or a signal outside of the loop's processing leaves data in the
// write queue, and the loop must then also wait for the socket to take it.

#include <functional>
#include <utility>

#include "platform/winmsg/SdBus.h"

namespace TESKTV::SERVICE {

struct BusConnection {
  quorvane::platform::sdbus::BusPtr bus;
  std::function<void()> afterOutput;

  sd_bus* get() const { return bus.get(); }
  void Wrote() const {
    if (afterOutput) afterOutput();
  }
};

}  // namespace TESKTV::SERVICE
