#include "platform/capture/CaptureApi.h"
#include "platform/capture/ComPtr.h"
#include "platform/capture/SimulatorCaptureApi.h"

namespace quorvane::platform {

HRESULT CreateCaptureApi(const CaptureFilter* filter, ITeskUSBHDAPI** api) {
  if (!api) return E_POINTER;
  *api = nullptr;
  if (!filter) return E_POINTER;
  switch (filter->device.backend) {
    case CaptureBackend::kSimulator:
      if (!filter->device.simulator) return E_INVALIDARG;
      *api = new SimulatorCaptureApi();
      return S_OK;
    case CaptureBackend::kV4l2:
      // The kernel-IR backend (V4L2 video, /dev/lirc* sensor and blaster)
      // is created here once it exists.
      return E_NOTIMPL;
  }
  return E_INVALIDARG;
}

HRESULT CreateRemoteLearning(const CaptureFilter* filter, IRemoteLearning** learning) {
  if (!learning) return E_POINTER;
  *learning = nullptr;
  ComPtr<ITeskUSBHDAPI> api;
  const HRESULT hr = CreateCaptureApi(filter, api.Put());
  if (Failed(hr)) return hr;
  void* raw = nullptr;
  const HRESULT qi = api->QueryInterface(IRemoteLearning::kIid, &raw);
  if (Failed(qi)) return qi;
  *learning = static_cast<IRemoteLearning*>(raw);
  return S_OK;
}

}  // namespace quorvane::platform
