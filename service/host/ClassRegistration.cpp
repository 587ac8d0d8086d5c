#include "service/host/ClassRegistration.h"

#include "interface/bus/ScheduleProgramBus.h"
#include "platform/paths/PathJoin.h"
#include "service/host/ServiceIdentity.h"

namespace TESKTV::SERVICE {

namespace platform = quorvane::platform;
namespace automation = quorvane::automation;
using platform::Hive;
using platform::RegistryValue;
using platform::Status;

namespace {

const std::string kAppIdKey = std::string("AppID\\") + automation::kAppId;
const std::string kExeAppIdKey = "AppID\\Wakeward.EXE";
const std::string kClsidKey = std::string("CLSID\\") + automation::kClsid;
const std::string kTypeLibKey = std::string("TypeLib\\") + automation::kLibId;
const std::string kInterfaceKey = std::string("Interface\\") + automation::kInterfaceIid;
const std::string kEventsKey = std::string("Interface\\") + automation::kEventsIid;
// The standard marshaller of dispatch interfaces.
constexpr char kDispatchProxyStub[] = "{00020424-0000-0000-C000-000000000046}";

// A key's default text and named texts, in one transaction of the hive.
struct KeyText {
  std::string path;
  std::string name;  // "" for the default value
  std::string text;
};

Status WriteAll(const platform::Registry& registry, const std::vector<KeyText>& entries) {
  auto transaction = registry.BeginTransaction(Hive::ClassesRoot, "");
  if (!transaction) return transaction.error();
  for (const KeyText& entry : entries) {
    auto key = transaction->CreateKey(Hive::ClassesRoot, entry.path);
    if (!key) return key.error();
    if (entry.name.empty() && entry.text.empty()) continue;  // a key without values
    if (Status set = key->SetValue(entry.name, RegistryValue::String(entry.text)); !set) return set;
  }
  return transaction->Commit();
}

Status DeleteTreeIfThere(const platform::Registry& registry, const std::string& path) {
  if (!registry.OpenKey(Hive::ClassesRoot, path)) return Status::Ok();
  return registry.DeleteTree(Hive::ClassesRoot, path);
}

}  // namespace

Status ClassRegistration::RegisterAppId() const {
  return WriteAll(registry_, {{kAppIdKey, "", "Wakeward"}, {kExeAppIdKey, "AppID", automation::kAppId}});
}

Status ClassRegistration::UnregisterAppId() const {
  if (Status s = DeleteTreeIfThere(registry_, kAppIdKey); !s) return s;
  return DeleteTreeIfThere(registry_, kExeAppIdKey);
}

Status ClassRegistration::SetLocalService(bool asService) const {
  auto key = registry_.CreateKey(Hive::ClassesRoot, kAppIdKey);
  if (!key) return key.error();
  if (!asService) {
    (void)key->DeleteValue("LocalService");
    (void)key->DeleteValue("ServiceParameters");
    return Status::Ok();
  }
  if (Status s = key->SetValue("LocalService", RegistryValue::String(kServiceName)); !s) return s;
  return key->SetValue("ServiceParameters", RegistryValue::String(kServiceParameters));
}

bool ClassRegistration::IsLocalService() const {
  auto value = registry_.GetValue(Hive::ClassesRoot, kAppIdKey, "LocalService");
  return value && value->type == platform::ValueType::String && value->text == kServiceName;
}

Status ClassRegistration::RegisterClasses(const std::string& executable) const {
  const std::string versionKey = kTypeLibKey + "\\" + automation::kLibVersion;
  return WriteAll(registry_,
                  {
                      {automation::kProgId, "", automation::kClassName},
                      {std::string(automation::kProgId) + "\\CLSID", "", automation::kClsid},
                      {automation::kVersionIndependentProgId, "", automation::kClassName},
                      {std::string(automation::kVersionIndependentProgId) + "\\CLSID", "", automation::kClsid},
                      {std::string(automation::kVersionIndependentProgId) + "\\CurVer", "", automation::kProgId},
                      {kClsidKey, "", automation::kClassName},
                      {kClsidKey, "AppID", automation::kAppId},
                      {kClsidKey + "\\ProgID", "", automation::kProgId},
                      {kClsidKey + "\\VersionIndependentProgID", "", automation::kVersionIndependentProgId},
                      {kClsidKey + "\\Programmable", "", ""},
                      {kClsidKey + "\\LocalServer32", "", executable},
                      {kClsidKey + "\\TypeLib", "", automation::kLibId},
                      {versionKey, "", automation::kLibHelpText},
                      {versionKey + "\\0\\win32", "", executable},
                      {versionKey + "\\FLAGS", "", "0"},
                      {versionKey + "\\HELPDIR", "", platform::ParentFolder(executable)},
                      {kInterfaceKey, "", "IScheduleProgram"},
                      {kInterfaceKey + "\\ProxyStubClsid32", "", kDispatchProxyStub},
                      {kInterfaceKey + "\\TypeLib", "", automation::kLibId},
                      {kInterfaceKey + "\\TypeLib", "Version", automation::kLibVersion},
                      {kEventsKey, "", "_IScheduleProgramEvents"},
                      {kEventsKey + "\\ProxyStubClsid32", "", kDispatchProxyStub},
                      {kEventsKey + "\\TypeLib", "", automation::kLibId},
                      {kEventsKey + "\\TypeLib", "Version", automation::kLibVersion},
                  });
}

Status ClassRegistration::UnregisterClasses() const {
  for (const std::string& path : {std::string(automation::kProgId), std::string(automation::kVersionIndependentProgId),
                                  kClsidKey, kTypeLibKey, kInterfaceKey, kEventsKey}) {
    if (Status s = DeleteTreeIfThere(registry_, path); !s) return s;
  }
  return Status::Ok();
}

}  // namespace TESKTV::SERVICE
