#pragma once
// The root of the COM-style interfaces: reference counting and asking an
// object for another of its interfaces. An object lives while references
// are held; the last Release deletes it.

#include <cstdint>

#include "platform/base/HResult.h"
#include "platform/capture/InterfaceId.h"

namespace quorvane::platform {

class IUnknown {
 public:
  static constexpr InterfaceId kIid{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

  // On success *object holds an added reference; on E_NOINTERFACE it is null.
  virtual HRESULT QueryInterface(const InterfaceId& iid, void** object) = 0;
  // Both return the reference count that remains after the call.
  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};

}  // namespace quorvane::platform
