#pragma once
// The capture device's own component: ITeskUSBHDAPI drives the video side,
// IRemoteLearning the IR sensor and blaster. One object implements both;
// either interface is obtained from the other with QueryInterface. Results
// are HRESULTs; out values are written only on success.

#include <cstdint>

#include "platform/capture/CaptureDevice.h"
#include "platform/capture/Unknown.h"

namespace quorvane::platform {

class ITeskUSBHDAPI : public IUnknown {
 public:
  static constexpr InterfaceId kIid{0xD0EDAC28, 0xE6F7, 0x4826, {0x93, 0x1E, 0xF4, 0x23, 0x72, 0xDF, 0xC4, 0x46}};

  // Binds the device of the capture filter; needed before any other call.
  virtual HRESULT Init(const CaptureFilter* filter) = 0;
  // 1 = capture mode.
  virtual HRESULT SetFuncMode(std::int32_t mode) = 0;
  // Video input 1..number of inputs.
  virtual HRESULT SetInputSource(std::int32_t input) = 0;
  // *locked != 0 when a picture is present on the selected input; *format
  // names the video format then (0 without a picture).
  virtual HRESULT DetectInputVideoFmt(std::int32_t* locked, std::int32_t* format) = 0;
  // *occupied != 0 when another application holds the device.
  virtual HRESULT IsDeviceOccupied(std::int32_t* occupied) = 0;

 protected:
  ~ITeskUSBHDAPI() override = default;
};

class IRemoteLearning : public IUnknown {
 public:
  static constexpr InterfaceId kIid{0x71C99372, 0xE4D4, 0x4268, {0x86, 0x6A, 0x4B, 0xA3, 0xF4, 0xBE, 0x40, 0x64}};

  // Binds the device of the capture filter for the IR calls below.
  virtual HRESULT IRInit(const CaptureFilter* filter) = 0;
  // Arms the IR sensor for the next key press.
  virtual HRESULT StartLearning() = 0;
  // Writes 512 bytes: the captured code (first byte != 0), or 00 00 FF FF
  // and zeros while nothing has been captured. size must be at least 512.
  virtual HRESULT GetLearnedCode(std::uint8_t* buffer, std::uint16_t size) = 0;
  // Sends one 512-byte code through the IR blaster.
  virtual HRESULT SendIRCode(const std::uint8_t* code, std::int32_t length) = 0;
  // *same != 0 when both codes are presses of the same key. Codes that are
  // not raw IR codes (placeholders) are never the same key.
  virtual HRESULT CompareCode(const std::uint8_t* a, std::int32_t size_a, const std::uint8_t* b,
                              std::int32_t size_b, std::int32_t* same) = 0;

 protected:
  ~IRemoteLearning() override = default;
};

// Creates the component for the device of a selected capture filter; the
// caller owns the returned reference. Fails with E_POINTER for a null
// filter or out pointer, E_NOTIMPL when the device's backend is not built in.
HRESULT CreateCaptureApi(const CaptureFilter* filter, ITeskUSBHDAPI** api);
HRESULT CreateRemoteLearning(const CaptureFilter* filter, IRemoteLearning** learning);

}  // namespace quorvane::platform
