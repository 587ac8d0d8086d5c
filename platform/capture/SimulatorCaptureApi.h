#pragma once
// The capture device component over a simulated device port.

#include <atomic>
#include <memory>

#include "platform/capture/CaptureApi.h"

namespace quorvane::platform {

class SimulatorCaptureApi final : public ITeskUSBHDAPI, public IRemoteLearning {
 public:
  // Starts with one reference, owned by the caller.
  SimulatorCaptureApi() = default;
  SimulatorCaptureApi(const SimulatorCaptureApi&) = delete;
  SimulatorCaptureApi& operator=(const SimulatorCaptureApi&) = delete;

  HRESULT QueryInterface(const InterfaceId& iid, void** object) override;
  std::uint32_t AddRef() override;
  std::uint32_t Release() override;

  HRESULT Init(const CaptureFilter* filter) override;
  HRESULT SetFuncMode(std::int32_t mode) override;
  HRESULT SetInputSource(std::int32_t input) override;
  HRESULT DetectInputVideoFmt(std::int32_t* locked, std::int32_t* format) override;
  HRESULT IsDeviceOccupied(std::int32_t* occupied) override;

  HRESULT IRInit(const CaptureFilter* filter) override;
  HRESULT StartLearning() override;
  HRESULT GetLearnedCode(std::uint8_t* buffer, std::uint16_t size) override;
  HRESULT SendIRCode(const std::uint8_t* code, std::int32_t length) override;
  HRESULT CompareCode(const std::uint8_t* a, std::int32_t size_a, const std::uint8_t* b, std::int32_t size_b,
                      std::int32_t* same) override;

 private:
  ~SimulatorCaptureApi() override = default;
  HRESULT Bind(const CaptureFilter* filter);

  std::atomic<std::uint32_t> references_{1};
  std::shared_ptr<SimulatedDevicePort> port_;
  int input_count_ = 0;
  bool video_ready_ = false;  // Init succeeded
  bool ir_ready_ = false;     // IRInit succeeded
  std::int32_t func_mode_ = 0;
};

}  // namespace quorvane::platform
