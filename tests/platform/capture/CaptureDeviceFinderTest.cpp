#include "platform/capture/CaptureDeviceFinder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/capture/CaptureApi.h"
#include "platform/capture/SimulatedDeviceSource.h"
#include "platform/capture/V4l2DeviceSource.h"
#include "tests/platform/capture/FakeDevicePort.h"

namespace quorvane::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kGuid = "{65e8773d-8f56-11d0-a3b9-00a0c9223196}";

void Write(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text << "\n";
}

// A sysfs tree with a Q311 on USB, its metadata node, a webcam and a
// virtual device without a USB parent.
class FakeSysfs : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quorvane-capture-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    const fs::path usb = root_ / "devices/pci0000:00/0000:00:14.0/usb1";
    AddUsb(usb / "1-1", "1164", "0311", "Q311 USB Capture");
    AddNode("video0", "Q311 Capture", "0", usb / "1-1/1-1:1.0", "00");
    AddNode("video1", "Q311 Capture", "1", usb / "1-1/1-1:1.0", "00");
    AddUsb(usb / "1-4", "046D", "0825", "HD Webcam C270");
    AddNode("video10", "HD Webcam C270", "0", usb / "1-4/1-4:1.2", "02");
    Write(root_ / "class/video4linux/video2/name", "vivid");
  }
  void TearDown() override { fs::remove_all(root_); }

  void AddUsb(const fs::path& dir, const std::string& vid, const std::string& pid, const std::string& product) {
    Write(dir / "idVendor", vid);
    Write(dir / "idProduct", pid);
    Write(dir / "product", product);
  }
  void AddNode(const std::string& node, const std::string& name, const std::string& index,
               const fs::path& interface, const std::string& number) {
    const fs::path entry = root_ / "class/video4linux" / node;
    Write(entry / "name", name);
    Write(entry / "index", index);
    Write(interface / "bInterfaceNumber", number);
    fs::create_directory_symlink(interface, entry / "device");
  }

  fs::path root_;
};

TEST_F(FakeSysfs, ListsCaptureNodesWithMonikerLikeNames) {
  V4l2DeviceSource source(root_);
  const auto devices = source.List();
  ASSERT_EQ(devices.size(), 3u);  // video1 is a metadata node

  EXPECT_EQ(devices[0].friendly_name, "Q311 Capture");
  EXPECT_EQ(devices[0].location, "/dev/video0");
  EXPECT_EQ(devices[0].backend, CaptureBackend::kV4l2);
  EXPECT_EQ(devices[0].display_name,
            std::string(R"(@device:pnp:\\?\usb#vid_1164&pid_0311&mi_00#1-1&Q311_USB_Capture#)") + kGuid + "\\global");

  EXPECT_EQ(devices[1].location, "/dev/video2");
  EXPECT_EQ(devices[1].display_name, std::string(R"(@device:pnp:\\?\v4l2#video2&vivid#)") + kGuid + "\\global");

  EXPECT_EQ(devices[2].location, "/dev/video10");
  EXPECT_EQ(devices[2].display_name,
            std::string(R"(@device:pnp:\\?\usb#vid_046d&pid_0825&mi_02#1-4&HD_Webcam_C270#)") + kGuid + "\\global");
}

TEST(V4l2DeviceSource, NoSysfsNoDevices) {
  V4l2DeviceSource source("/nonexistent/quorvane-sysfs");
  EXPECT_TRUE(source.List().empty());
}

TEST_F(FakeSysfs, FinderListsAndSelectsOnlyQ311Devices) {
  auto port = std::make_shared<testing::FakeDevicePort>();
  CaptureDeviceFinder finder({std::make_shared<V4l2DeviceSource>(root_),
                              std::make_shared<SimulatedDeviceSource>(port, "fake")});
  EXPECT_EQ(finder.Enumerate(), (std::vector<std::string>{"Q311 Capture", "Fake Q311"}));

  EXPECT_EQ(finder.Filter(), nullptr);
  EXPECT_EQ(finder.Select(1), S_OK);
  ASSERT_NE(finder.Filter(), nullptr);
  EXPECT_EQ(finder.Filter()->device.location, "/dev/video0");

  EXPECT_EQ(finder.Select(2), S_OK);
  EXPECT_EQ(finder.Filter()->device.backend, CaptureBackend::kSimulator);
  EXPECT_EQ(finder.Filter()->device.simulator, port);

  for (int n : {0, -1, 3}) {
    EXPECT_EQ(finder.Select(n), E_INVALIDARG) << n;
    EXPECT_EQ(finder.Filter(), nullptr) << n;
  }

  // An unreachable simulator has no device.
  port->reachable = false;
  EXPECT_EQ(finder.Enumerate(), std::vector<std::string>{"Q311 Capture"});
  EXPECT_EQ(finder.Select(2), E_INVALIDARG);
}

TEST_F(FakeSysfs, FactoryHasNoV4l2BackendYet) {
  CaptureDeviceFinder finder({std::make_shared<V4l2DeviceSource>(root_)});
  ASSERT_EQ(finder.Select(1), S_OK);
  ITeskUSBHDAPI* api = reinterpret_cast<ITeskUSBHDAPI*>(1);
  EXPECT_EQ(CreateCaptureApi(finder.Filter(), &api), E_NOTIMPL);
  EXPECT_EQ(api, nullptr);
}

TEST(CaptureDeviceFinder, DefaultSourcesCanBeReplacedInProcess) {
  auto port = std::make_shared<testing::FakeDevicePort>();
  {
    OverrideCaptureDeviceSources scope({std::make_shared<SimulatedDeviceSource>(port, "fake")});
    CaptureDeviceFinder finder;
    EXPECT_EQ(finder.Enumerate(), std::vector<std::string>{"Fake Q311"});
  }
  // Back to sysfs and a simulator socket nobody listens on.
  ::setenv("QUORVANE_SYSFS_ROOT", "/nonexistent/quorvane-sysfs", 1);
  ::setenv("QUORVANE_SIM_SOCKET", "/nonexistent/quorvane-sim.sock", 1);
  CaptureDeviceFinder finder;
  EXPECT_TRUE(finder.Enumerate().empty());
  EXPECT_EQ(finder.Select(1), E_INVALIDARG);
}

}  // namespace
}  // namespace quorvane::platform
