#pragma once
// The automation server's keys in the classes root (HKEY_CLASSES_ROOT):
// AppID, both ProgIDs, the CLSID with its LocalServer32, the type library
// and its two interfaces. The AppID's "LocalService" value marks the
// registration as a service.

#include <string>

#include "platform/base/Result.h"
#include "platform/registry/Registry.h"

namespace TESKTV::SERVICE {

class ClassRegistration {
 public:
  explicit ClassRegistration(quorvane::platform::Registry registry) : registry_(std::move(registry)) {}

  // The AppID key and the executable's entry that names it.
  quorvane::platform::Status RegisterAppId() const;
  quorvane::platform::Status UnregisterAppId() const;
  // "LocalService" and "ServiceParameters" of the AppID: set for a
  // service, removed otherwise.
  quorvane::platform::Status SetLocalService(bool asService) const;
  // Whether the AppID names the service (run as a service).
  bool IsLocalService() const;

  // ProgIDs, CLSID (LocalServer32 = `executable`), type library, interfaces.
  quorvane::platform::Status RegisterClasses(const std::string& executable) const;
  quorvane::platform::Status UnregisterClasses() const;

 private:
  quorvane::platform::Registry registry_;
};

}  // namespace TESKTV::SERVICE
