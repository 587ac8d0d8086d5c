#pragma once
// A place capture devices come from: the V4L2 devices in sysfs, or a
// simulator. The finder asks every source each time it enumerates.

#include <vector>

#include "platform/capture/CaptureDevice.h"

namespace quorvane::platform {

class CaptureDeviceSource {
 public:
  virtual ~CaptureDeviceSource() = default;
  // Every device the source has now; an unreachable source has none.
  virtual std::vector<CaptureDevice> List() = 0;
};

}  // namespace quorvane::platform
