#include "service/automation/FactoryAdaptor.h"

#include "interface/bus/ScheduleProgramBus.h"

namespace TESKTV::SERVICE {

namespace platform = quorvane::platform;
namespace automation = quorvane::automation;

namespace {

const sd_bus_vtable* FactoryVtable(sd_bus_message_handler_t create) {
  static const sd_bus_vtable vtable[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD_WITH_NAMES("CreateInstance", "", , "o", SD_BUS_PARAM(instance), create,
                               SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_VTABLE_END,
  };
  return vtable;
}

}  // namespace

platform::Result<std::unique_ptr<FactoryAdaptor>> FactoryAdaptor::Serve(std::shared_ptr<BusConnection> connection,
                                                                        CreateInstance create) {
  std::unique_ptr<FactoryAdaptor> adaptor(new FactoryAdaptor);
  adaptor->connection_ = std::move(connection);
  adaptor->create_ = std::move(create);
  sd_bus_slot* slot = nullptr;
  const int r = sd_bus_add_object_vtable(adaptor->connection_->get(), &slot, automation::kFactoryPath,
                                         automation::kFactoryInterface, FactoryVtable(&OnCreateInstance),
                                         adaptor.get());
  if (r < 0) return platform::sdbus::ErrnoError("cannot serve the factory object", r);
  adaptor->slot_.reset(slot);
  return adaptor;
}

int FactoryAdaptor::OnCreateInstance(sd_bus_message* call, void* userdata, sd_bus_error* error) {
  auto* self = static_cast<FactoryAdaptor*>(userdata);
  const char* sender = sd_bus_message_get_sender(call);
  if (sender == nullptr) return sd_bus_error_set_const(error, SD_BUS_ERROR_FAILED, "the call names no sender");
  auto path = self->create_(sender);
  if (!path) return sd_bus_error_set(error, SD_BUS_ERROR_FAILED, path.error().message.c_str());
  return sd_bus_reply_method_return(call, "o", path->c_str());
}

}  // namespace TESKTV::SERVICE
