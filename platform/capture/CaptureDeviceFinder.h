#pragma once
// Finds the Q311 capture devices among the video capture devices of all
// sources (V4L2 devices in sysfs, the simulator) and binds the capture
// filter of one of them.

#include <memory>
#include <string>
#include <vector>

#include "platform/base/HResult.h"
#include "platform/capture/CaptureDeviceSource.h"

namespace quorvane::platform {

class CaptureDeviceFinder {
 public:
  // The default sources (see DefaultCaptureDeviceSources).
  CaptureDeviceFinder();
  explicit CaptureDeviceFinder(std::vector<std::shared_ptr<CaptureDeviceSource>> sources);

  // Friendly names of the matching devices, in source order.
  std::vector<std::string> Enumerate();
  // Binds the capture filter of the n-th match (1-based). E_INVALIDARG
  // when n is below 1 or above the number of matches; the earlier binding
  // is dropped then.
  HRESULT Select(int n);
  // The bound filter; null before a successful Select.
  const CaptureFilter* Filter() const { return filter_ ? filter_.get() : nullptr; }

 private:
  std::vector<CaptureDevice> Matches();

  std::vector<std::shared_ptr<CaptureDeviceSource>> sources_;
  std::unique_ptr<CaptureFilter> filter_;
};

// The sources a default finder asks: V4L2 devices under
// V4l2DeviceSource::DefaultSysfsRoot() and the simulator daemon at
// SimulatorSocketPath() -- unless an OverrideCaptureDeviceSources is alive.
std::vector<std::shared_ptr<CaptureDeviceSource>> DefaultCaptureDeviceSources();

// While it lives, default finders in this process ask these sources only
// (an in-process simulator in tests). Not for nesting across threads.
class OverrideCaptureDeviceSources {
 public:
  explicit OverrideCaptureDeviceSources(std::vector<std::shared_ptr<CaptureDeviceSource>> sources);
  ~OverrideCaptureDeviceSources();
  OverrideCaptureDeviceSources(const OverrideCaptureDeviceSources&) = delete;
  OverrideCaptureDeviceSources& operator=(const OverrideCaptureDeviceSources&) = delete;

 private:
  std::vector<std::shared_ptr<CaptureDeviceSource>> previous_;
  bool had_previous_;
};

}  // namespace quorvane::platform
