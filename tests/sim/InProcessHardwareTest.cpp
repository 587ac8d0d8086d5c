// The capture device component, found by CaptureDeviceFinder and bound to
// an in-process simulator, driven the way the wizard and the service do.

#include <gtest/gtest.h>

#include <chrono>

#include "platform/capture/CaptureApi.h"
#include "platform/capture/CaptureDeviceFinder.h"
#include "platform/capture/ComPtr.h"
#include "platform/clock/SimulatedClock.h"
#include "sim/InProcessDevice.h"
#include "sim/SimulatedHardware.h"

namespace quorvane::sim {
namespace {

using namespace std::chrono_literals;
using platform::ComPtr;
using platform::IrCodeBytes;
using platform::S_OK;

class InProcessHardware : public ::testing::Test {
 protected:
  void SetUp() override {
    hardware_ = std::make_shared<SimulatedHardware>(clock_, 7);
    finder_ = std::make_unique<platform::CaptureDeviceFinder>(
        std::vector<std::shared_ptr<platform::CaptureDeviceSource>>{MakeInProcessDeviceSource(hardware_)});
    ASSERT_EQ(finder_->Enumerate(), std::vector<std::string>{kSimulatedFriendlyName});
    ASSERT_EQ(finder_->Select(1), S_OK);
    filter_ = finder_->Filter();
  }

  IrCodeBytes Learned(platform::IRemoteLearning* learning) {
    IrCodeBytes buffer{};
    EXPECT_EQ(learning->GetLearnedCode(buffer.data(), buffer.size()), S_OK);
    return buffer;
  }

  void Send(platform::IRemoteLearning* learning, const IrCodeBytes& code) {
    EXPECT_EQ(learning->SendIRCode(code.data(), 512), S_OK);
  }

  platform::SimulatedClock clock_;
  std::shared_ptr<SimulatedHardware> hardware_;
  std::unique_ptr<platform::CaptureDeviceFinder> finder_;
  const platform::CaptureFilter* filter_ = nullptr;
};

TEST_F(InProcessHardware, LearningThroughTheSensor) {
  ComPtr<platform::IRemoteLearning> learning;
  ASSERT_EQ(platform::CreateRemoteLearning(filter_, learning.Put()), S_OK);
  ASSERT_EQ(learning->IRInit(filter_), S_OK);

  // A press before learning starts is lost.
  hardware_->Press(RemoteKey::k5, Aim::kSensor);
  EXPECT_TRUE(platform::IsNoCapturedCode(Learned(learning.Get())));

  ASSERT_EQ(learning->StartLearning(), S_OK);
  EXPECT_TRUE(platform::IsNoCapturedCode(Learned(learning.Get())));
  EXPECT_TRUE(hardware_->Press(RemoteKey::k5, Aim::kSensor).caught);
  EXPECT_FALSE(hardware_->Press(RemoteKey::k6, Aim::kSensor).caught);  // the first press is kept
  const IrCodeBytes first = Learned(learning.Get());
  EXPECT_NE(first[0], 0);
  EXPECT_TRUE(platform::IsNoCapturedCode(Learned(learning.Get())));  // handed out once

  ASSERT_EQ(learning->StartLearning(), S_OK);
  hardware_->Press(RemoteKey::k5, Aim::kSensor);
  const IrCodeBytes second = Learned(learning.Get());
  ASSERT_EQ(learning->StartLearning(), S_OK);
  hardware_->Press(RemoteKey::k6, Aim::kBoth);
  const IrCodeBytes other = Learned(learning.Get());

  EXPECT_NE(first, second);  // jitter and toggle
  std::int32_t same = -1;
  ASSERT_EQ(learning->CompareCode(first.data(), 512, second.data(), 512, &same), S_OK);
  EXPECT_NE(same, 0);
  ASSERT_EQ(learning->CompareCode(first.data(), 512, other.data(), 512, &same), S_OK);
  EXPECT_EQ(same, 0);

  // An occupied device does not learn.
  hardware_->SetOccupied(true);
  EXPECT_EQ(learning->StartLearning(), platform::E_FAIL);
  ComPtr<platform::ITeskUSBHDAPI> api;
  ASSERT_EQ(learning.As(&api), S_OK);
  ASSERT_EQ(api->Init(filter_), S_OK);
  std::int32_t occupied = 0;
  ASSERT_EQ(api->IsDeviceOccupied(&occupied), S_OK);
  EXPECT_NE(occupied, 0);

  learning.Reset();
  EXPECT_EQ(api.Reset(), 0u);
}

TEST_F(InProcessHardware, SwitchingOnAndTuningTheBox) {
  ASSERT_TRUE(hardware_->Configure({{"digits", "3"}, {"ok", "1"}, {"min-gap-ms", "200"}, {"input", "2"}}).ok());

  // Learn the keys the way the wizard does.
  ComPtr<platform::IRemoteLearning> learning;
  ASSERT_EQ(platform::CreateRemoteLearning(filter_, learning.Put()), S_OK);
  ASSERT_EQ(learning->IRInit(filter_), S_OK);
  auto learn = [&](RemoteKey key) {
    EXPECT_EQ(learning->StartLearning(), S_OK);
    hardware_->Press(key, Aim::kSensor);
    return Learned(learning.Get());
  };
  const IrCodeBytes power = learn(RemoteKey::kPower), seven = learn(RemoteKey::k7), ok = learn(RemoteKey::kOk);

  ComPtr<platform::ITeskUSBHDAPI> api;
  ASSERT_EQ(platform::CreateCaptureApi(filter_, api.Put()), S_OK);
  ASSERT_EQ(api->Init(filter_), S_OK);
  ASSERT_EQ(api->SetFuncMode(1), S_OK);
  ASSERT_EQ(api->SetInputSource(2), S_OK);
  std::int32_t locked = -1, format = -1;
  ASSERT_EQ(api->DetectInputVideoFmt(&locked, &format), S_OK);
  EXPECT_EQ(locked, 0);

  Send(learning.Get(), power);
  ASSERT_EQ(api->DetectInputVideoFmt(&locked, &format), S_OK);
  EXPECT_EQ(locked, 1);
  EXPECT_EQ(format, kLockedVideoFormat);

  // Another input has no picture.
  ASSERT_EQ(api->SetInputSource(1), S_OK);
  ASSERT_EQ(api->DetectInputVideoFmt(&locked, &format), S_OK);
  EXPECT_EQ(locked, 0);
  ASSERT_EQ(api->SetInputSource(2), S_OK);

  // Keys sent too fast: the OK is missed and the 7 is dropped after the pause.
  clock_.Advance(500ms);
  Send(learning.Get(), seven);
  clock_.Advance(100ms);
  Send(learning.Get(), ok);
  clock_.Advance(5s);
  EXPECT_EQ(hardware_->Status().channel, "1");

  // With the interval the box needs.
  Send(learning.Get(), seven);
  clock_.Advance(500ms);
  Send(learning.Get(), ok);
  HardwareStatus status = hardware_->Status();
  EXPECT_TRUE(status.power);
  EXPECT_EQ(status.channel, "7");

  // Power sent again to a box that is already on switches it off.
  clock_.Advance(500ms);
  Send(learning.Get(), power);
  ASSERT_EQ(api->DetectInputVideoFmt(&locked, &format), S_OK);
  EXPECT_EQ(locked, 0);
  EXPECT_FALSE(hardware_->Status().power);
}

TEST_F(InProcessHardware, ConfigureIsAllOrNothing) {
  EXPECT_FALSE(hardware_->Configure({{"digits", "4"}, {"ok", "maybe"}}).ok());
  EXPECT_FALSE(hardware_->Configure({{"digits", "4"}, {"colour", "red"}}).ok());
  EXPECT_FALSE(hardware_->Configure({{"digits", "4"}, {"channel", "0"}}).ok());
  EXPECT_EQ(hardware_->Status().config.digits, 3);

  ASSERT_TRUE(hardware_->Configure({{"power", "on"}, {"channel", "13.2"}, {"boot-ms", "1000"}}).ok());
  HardwareStatus status = hardware_->Status();
  EXPECT_TRUE(status.power);
  EXPECT_EQ(status.channel, "13.2");
  EXPECT_TRUE(status.starting);
  EXPECT_FALSE(status.signal);
  clock_.Advance(1s);
  EXPECT_TRUE(hardware_->Status().signal);

  hardware_->Reset();
  status = hardware_->Status();
  EXPECT_FALSE(status.power);
  EXPECT_EQ(status.channel, "1");
  EXPECT_EQ(status.config.boot_ms, 0);
}

}  // namespace
}  // namespace quorvane::sim
