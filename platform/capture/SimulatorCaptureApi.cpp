#include "platform/capture/SimulatorCaptureApi.h"

#include <algorithm>

namespace quorvane::platform {

HRESULT SimulatorCaptureApi::QueryInterface(const InterfaceId& iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid == IUnknown::kIid || iid == ITeskUSBHDAPI::kIid) {
    *object = static_cast<ITeskUSBHDAPI*>(this);
  } else if (iid == IRemoteLearning::kIid) {
    *object = static_cast<IRemoteLearning*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

std::uint32_t SimulatorCaptureApi::AddRef() { return ++references_; }

std::uint32_t SimulatorCaptureApi::Release() {
  const std::uint32_t left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT SimulatorCaptureApi::Bind(const CaptureFilter* filter) {
  if (!filter) return E_POINTER;
  if (filter->device.backend != CaptureBackend::kSimulator || !filter->device.simulator) return E_INVALIDARG;
  auto identity = filter->device.simulator->Identify();
  if (!identity.ok()) return E_FAIL;
  port_ = filter->device.simulator;
  input_count_ = identity->input_count;
  return S_OK;
}

HRESULT SimulatorCaptureApi::Init(const CaptureFilter* filter) {
  const HRESULT hr = Bind(filter);
  video_ready_ = Succeeded(hr);
  return hr;
}

HRESULT SimulatorCaptureApi::SetFuncMode(std::int32_t mode) {
  if (!video_ready_) return E_UNEXPECTED;
  if (mode != 0 && mode != 1) return E_INVALIDARG;
  func_mode_ = mode;
  return S_OK;
}

HRESULT SimulatorCaptureApi::SetInputSource(std::int32_t input) {
  if (!video_ready_) return E_UNEXPECTED;
  if (input < 1 || input > input_count_) return E_INVALIDARG;
  return port_->SelectInput(input).ok() ? S_OK : E_FAIL;
}

HRESULT SimulatorCaptureApi::DetectInputVideoFmt(std::int32_t* locked, std::int32_t* format) {
  if (!locked || !format) return E_POINTER;
  if (!video_ready_) return E_UNEXPECTED;
  auto signal = port_->DetectSignal();
  if (!signal.ok()) return E_FAIL;
  *locked = signal->locked ? 1 : 0;
  *format = signal->format;
  return S_OK;
}

HRESULT SimulatorCaptureApi::IsDeviceOccupied(std::int32_t* occupied) {
  if (!occupied) return E_POINTER;
  if (!video_ready_) return E_UNEXPECTED;
  auto flag = port_->IsOccupied();
  if (!flag.ok()) return E_FAIL;
  *occupied = flag.value() ? 1 : 0;
  return S_OK;
}

HRESULT SimulatorCaptureApi::IRInit(const CaptureFilter* filter) {
  const HRESULT hr = Bind(filter);
  ir_ready_ = Succeeded(hr);
  return hr;
}

HRESULT SimulatorCaptureApi::StartLearning() {
  if (!ir_ready_) return E_UNEXPECTED;
  return port_->StartLearning().ok() ? S_OK : E_FAIL;
}

HRESULT SimulatorCaptureApi::GetLearnedCode(std::uint8_t* buffer, std::uint16_t size) {
  if (!buffer) return E_POINTER;
  if (size < kIrCodeSize) return E_INVALIDARG;
  if (!ir_ready_) return E_UNEXPECTED;
  auto code = port_->TakeLearnedCode();
  if (!code.ok()) return E_FAIL;
  const IrCodeBytes bytes = code->has_value() ? **code : NoCapturedCode();
  std::copy(bytes.begin(), bytes.end(), buffer);
  return S_OK;
}

HRESULT SimulatorCaptureApi::SendIRCode(const std::uint8_t* code, std::int32_t length) {
  if (!code) return E_POINTER;
  if (length != static_cast<std::int32_t>(kIrCodeSize)) return E_INVALIDARG;
  if (!ir_ready_) return E_UNEXPECTED;
  IrCodeBytes bytes;
  std::copy(code, code + kIrCodeSize, bytes.begin());
  // A blaster cannot send what is no IR code (an empty key slot).
  if (!DecodeIrCode(bytes).ok()) return E_INVALIDARG;
  return port_->SendIrCode(bytes).ok() ? S_OK : E_FAIL;
}

HRESULT SimulatorCaptureApi::CompareCode(const std::uint8_t* a, std::int32_t size_a, const std::uint8_t* b,
                                         std::int32_t size_b, std::int32_t* same) {
  if (!a || !b || !same) return E_POINTER;
  if (size_a < 0 || size_b < 0) return E_INVALIDARG;
  const std::span code_a(a, static_cast<std::size_t>(size_a));
  const std::span code_b(b, static_cast<std::size_t>(size_b));
  *same = SameKey(code_a, code_b) ? 1 : 0;
  return S_OK;
}

}  // namespace quorvane::platform
