#include "platform/capture/SimulatorCaptureApi.h"

#include <gtest/gtest.h>

#include "platform/capture/ComPtr.h"
#include "tests/platform/capture/FakeDevicePort.h"

namespace quorvane::platform {
namespace {

IrCodeBytes Code(std::uint32_t bit_space) {
  IrCode code;
  code.durations = {9000, 4500, 560, bit_space, 560};
  return EncodeIrCode(code).value();
}

class SimulatorCaptureApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = std::make_shared<testing::FakeDevicePort>();
    filter_.device.backend = CaptureBackend::kSimulator;
    filter_.device.simulator = port_;
    ASSERT_EQ(CreateCaptureApi(&filter_, api_.Put()), S_OK);
    ASSERT_EQ(api_.As(&learning_), S_OK);
  }

  std::shared_ptr<testing::FakeDevicePort> port_;
  CaptureFilter filter_;
  ComPtr<ITeskUSBHDAPI> api_;
  ComPtr<IRemoteLearning> learning_;
};

TEST(SimulatorCaptureApi, ReferenceCountingAndInterfaces) {
  CaptureFilter filter;
  filter.device.simulator = std::make_shared<testing::FakeDevicePort>();
  EXPECT_EQ(CreateCaptureApi(nullptr, nullptr), E_POINTER);
  ITeskUSBHDAPI* none = reinterpret_cast<ITeskUSBHDAPI*>(1);
  EXPECT_EQ(CreateCaptureApi(nullptr, &none), E_POINTER);
  EXPECT_EQ(none, nullptr);

  ITeskUSBHDAPI* api = nullptr;
  ASSERT_EQ(CreateCaptureApi(&filter, &api), S_OK);
  void* raw = nullptr;
  ASSERT_EQ(api->QueryInterface(IRemoteLearning::kIid, &raw), S_OK);
  auto* learning = static_cast<IRemoteLearning*>(raw);
  void* back = nullptr;
  ASSERT_EQ(learning->QueryInterface(ITeskUSBHDAPI::kIid, &back), S_OK);
  EXPECT_EQ(back, api);
  void* unknown = nullptr;
  ASSERT_EQ(learning->QueryInterface(IUnknown::kIid, &unknown), S_OK);
  EXPECT_EQ(unknown, static_cast<IUnknown*>(api));

  void* other = reinterpret_cast<void*>(1);
  const InterfaceId foreign{0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  EXPECT_EQ(api->QueryInterface(foreign, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);

  EXPECT_EQ(api->Release(), 3u);  // the remaining count is what logs report
  EXPECT_EQ(static_cast<ITeskUSBHDAPI*>(back)->Release(), 2u);
  EXPECT_EQ(static_cast<IUnknown*>(unknown)->Release(), 1u);
  EXPECT_EQ(learning->Release(), 0u);  // deleted (the sanitizer build checks)

  IRemoteLearning* direct = nullptr;
  ASSERT_EQ(CreateRemoteLearning(&filter, &direct), S_OK);
  EXPECT_EQ(direct->Release(), 0u);
}

TEST_F(SimulatorCaptureApiTest, CallsNeedInitFirst) {
  std::int32_t a = 0, b = 0;
  std::uint8_t buffer[512];
  EXPECT_EQ(api_->SetFuncMode(1), E_UNEXPECTED);
  EXPECT_EQ(api_->SetInputSource(1), E_UNEXPECTED);
  EXPECT_EQ(api_->DetectInputVideoFmt(&a, &b), E_UNEXPECTED);
  EXPECT_EQ(api_->IsDeviceOccupied(&a), E_UNEXPECTED);
  EXPECT_EQ(learning_->StartLearning(), E_UNEXPECTED);
  EXPECT_EQ(learning_->GetLearnedCode(buffer, 512), E_UNEXPECTED);

  EXPECT_EQ(api_->Init(nullptr), E_POINTER);
  CaptureFilter v4l2;
  v4l2.device.backend = CaptureBackend::kV4l2;
  EXPECT_EQ(api_->Init(&v4l2), E_INVALIDARG);
  port_->reachable = false;
  EXPECT_EQ(api_->Init(&filter_), E_FAIL);
  port_->reachable = true;

  // Init readies the video side only; IRInit the IR side.
  ASSERT_EQ(api_->Init(&filter_), S_OK);
  EXPECT_EQ(api_->SetFuncMode(1), S_OK);
  EXPECT_EQ(learning_->StartLearning(), E_UNEXPECTED);
  ASSERT_EQ(learning_->IRInit(&filter_), S_OK);
  EXPECT_EQ(learning_->StartLearning(), S_OK);
}

TEST_F(SimulatorCaptureApiTest, VideoSide) {
  ASSERT_EQ(api_->Init(&filter_), S_OK);
  EXPECT_EQ(api_->SetFuncMode(7), E_INVALIDARG);
  for (int input : {0, 5, -1}) EXPECT_EQ(api_->SetInputSource(input), E_INVALIDARG) << input;
  EXPECT_EQ(api_->SetInputSource(4), S_OK);
  EXPECT_EQ(port_->selected_inputs, std::vector<int>{4});

  std::int32_t locked = 9, format = 9;
  EXPECT_EQ(api_->DetectInputVideoFmt(nullptr, &format), E_POINTER);
  EXPECT_EQ(api_->DetectInputVideoFmt(&locked, &format), S_OK);
  EXPECT_EQ(locked, 0);
  EXPECT_EQ(format, 0);
  port_->signal = {true, 1};
  EXPECT_EQ(api_->DetectInputVideoFmt(&locked, &format), S_OK);
  EXPECT_EQ(locked, 1);
  EXPECT_EQ(format, 1);

  std::int32_t occupied = 9;
  EXPECT_EQ(api_->IsDeviceOccupied(&occupied), S_OK);
  EXPECT_EQ(occupied, 0);
  port_->occupied = true;
  EXPECT_EQ(api_->IsDeviceOccupied(&occupied), S_OK);
  EXPECT_EQ(occupied, 1);

  port_->reachable = false;
  EXPECT_EQ(api_->IsDeviceOccupied(&occupied), E_FAIL);
  EXPECT_EQ(api_->SetInputSource(1), E_FAIL);
}

TEST_F(SimulatorCaptureApiTest, LearnedCodeOrNothingCapturedMarker) {
  ASSERT_EQ(learning_->IRInit(&filter_), S_OK);
  std::uint8_t buffer[600];
  std::fill(std::begin(buffer), std::end(buffer), 0xAB);
  EXPECT_EQ(learning_->GetLearnedCode(buffer, 511), E_INVALIDARG);
  EXPECT_EQ(learning_->GetLearnedCode(nullptr, 512), E_POINTER);

  ASSERT_EQ(learning_->GetLearnedCode(buffer, 600), S_OK);
  EXPECT_TRUE(IsNoCapturedCode(std::span(buffer, 512)));
  EXPECT_EQ(buffer[511], 0);
  EXPECT_EQ(buffer[512], 0xAB);  // nothing written past the code

  const IrCodeBytes expected = Code(1690);
  port_->learned = expected;
  ASSERT_EQ(learning_->GetLearnedCode(buffer, 512), S_OK);
  EXPECT_NE(buffer[0], 0);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buffer));

  port_->reachable = false;
  EXPECT_EQ(learning_->GetLearnedCode(buffer, 512), E_FAIL);
}

TEST_F(SimulatorCaptureApiTest, SendOnlyWhatIsAnIrCode) {
  ASSERT_EQ(learning_->IRInit(&filter_), S_OK);
  const IrCodeBytes code = Code(1690);
  EXPECT_EQ(learning_->SendIRCode(code.data(), 511), E_INVALIDARG);
  EXPECT_EQ(learning_->SendIRCode(nullptr, 512), E_POINTER);
  const IrCodeBytes empty_slot{};
  EXPECT_EQ(learning_->SendIRCode(empty_slot.data(), 512), E_INVALIDARG);
  EXPECT_TRUE(port_->sent.empty());

  EXPECT_EQ(learning_->SendIRCode(code.data(), 512), S_OK);
  ASSERT_EQ(port_->sent.size(), 1u);
  EXPECT_EQ(port_->sent[0], code);
}

TEST_F(SimulatorCaptureApiTest, CompareCodeUsesTheSameKeyRule) {
  const IrCodeBytes one = Code(1690), one_again = Code(1500), zero = Code(560), placeholder{};
  std::int32_t same = 7;
  EXPECT_EQ(learning_->CompareCode(one.data(), 512, one_again.data(), 512, &same), S_OK);
  EXPECT_EQ(same, 1);
  EXPECT_EQ(learning_->CompareCode(one.data(), 512, zero.data(), 512, &same), S_OK);
  EXPECT_EQ(same, 0);
  EXPECT_EQ(learning_->CompareCode(placeholder.data(), 512, placeholder.data(), 512, &same), S_OK);
  EXPECT_EQ(same, 0);
  EXPECT_EQ(learning_->CompareCode(one.data(), 8, one.data(), 512, &same), S_OK);  // cut short
  EXPECT_EQ(same, 0);
  EXPECT_EQ(learning_->CompareCode(one.data(), -1, one.data(), 512, &same), E_INVALIDARG);
  EXPECT_EQ(learning_->CompareCode(one.data(), 512, one.data(), 512, nullptr), E_POINTER);
}

}  // namespace
}  // namespace quorvane::platform
