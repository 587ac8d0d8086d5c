#pragma once
// One video capture device as the finder lists it, and the capture filter
// that selecting it binds (what Init and IRInit of the device component take).

#include <memory>
#include <string>

#include "platform/capture/SimulatedDevicePort.h"

namespace quorvane::platform {

enum class CaptureBackend {
  kSimulator,  // the q311-sim hardware, in-process or through its socket
  kV4l2,       // a real V4L2 device (its IR goes through /dev/lirc*)
};

struct CaptureDevice {
  std::string friendly_name;
  // Moniker-like name, e.g.
  //   @device:pnp:\\?\usb#vid_0000&pid_0311&mi_00#q311sim&0#{65e8773d-...}\global
  // so that the "q311" rule on the part between "?\" and "{" applies as to
  // a DirectShow moniker.
  std::string display_name;
  CaptureBackend backend = CaptureBackend::kSimulator;
  std::string location;  // device node or simulator endpoint, for messages
  std::shared_ptr<SimulatedDevicePort> simulator;  // set for kSimulator
};

struct CaptureFilter {
  CaptureDevice device;
};

}  // namespace quorvane::platform
