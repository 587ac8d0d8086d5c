#pragma once
// The bus object of the coclass: CreateInstance makes an instance for the
// caller and answers its object path.

#include <functional>
#include <memory>
#include <string>

#include "platform/base/Result.h"
#include "service/automation/BusConnection.h"

namespace TESKTV::SERVICE {

class FactoryAdaptor {
 public:
  // Given the caller's unique name, the new instance's path.
  using CreateInstance = std::function<quorvane::platform::Result<std::string>(const std::string& caller)>;

  static quorvane::platform::Result<std::unique_ptr<FactoryAdaptor>> Serve(std::shared_ptr<BusConnection> connection,
                                                                           CreateInstance create);
  ~FactoryAdaptor() = default;
  FactoryAdaptor(const FactoryAdaptor&) = delete;
  FactoryAdaptor& operator=(const FactoryAdaptor&) = delete;

 private:
  FactoryAdaptor() = default;
  static int OnCreateInstance(sd_bus_message* call, void* userdata, sd_bus_error* error);

  std::shared_ptr<BusConnection> connection_;
  CreateInstance create_;
  quorvane::platform::sdbus::SlotPtr slot_;
};

}  // namespace TESKTV::SERVICE
