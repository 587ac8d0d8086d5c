#pragma once
// The V4L2 capture devices the kernel lists in sysfs, each with a
// moniker-like display name built from its USB ids:
//   @device:pnp:\\?\usb#vid_1164&pid_0311&mi_00#1-1.2&Q311_USB_Capture#{<video guid>}\global
// The instance part carries the USB port path and the product name (or the
// V4L2 name), so a device whose product is named "Q311..." matches the
// "q311" rule. Devices without a USB parent get "\\?\v4l2#<node>&<name>#".
// Nodes whose "index" is not 0 (metadata nodes next to a camera) are left out.

#include <filesystem>

#include "platform/capture/CaptureDeviceSource.h"

namespace quorvane::platform {

class V4l2DeviceSource final : public CaptureDeviceSource {
 public:
  // sysfs_root is "/sys" on a real system; tests pass a prepared folder.
  explicit V4l2DeviceSource(std::filesystem::path sysfs_root);
  std::vector<CaptureDevice> List() override;

  // $QUORVANE_SYSFS_ROOT, else "/sys".
  static std::filesystem::path DefaultSysfsRoot();

 private:
  std::filesystem::path root_;
};

}  // namespace quorvane::platform
