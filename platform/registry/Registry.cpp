#include "platform/registry/Registry.h"

#include "platform/registry/HiveDatabase.h"
#include "platform/registry/KeyLocation.h"
#include "platform/registry/KeyPath.h"
#include "platform/registry/KeyStore.h"

namespace quorvane::platform {

using registry_detail::ChangeScope;
using registry_detail::HiveDatabase;
using registry_detail::Locate;
using registry_detail::OpenMode;
using registry_detail::Resolve;

namespace {

Result<std::shared_ptr<HiveDatabase>> OpenHive(const registry_detail::KeyLocation& where, KeyAccess access) {
  return HiveDatabase::Open(where.file, access == KeyAccess::Write ? OpenMode::Write : OpenMode::Read);
}

Error RootCannotBeDeleted() { return MakeError("a hive root cannot be deleted"); }

}  // namespace

Registry::Registry() : Registry(RegistryLocations::FromEnvironment()) {}

Registry::Registry(RegistryLocations locations) : locations_(std::move(locations)) {}

Result<RegistryKey> Registry::OpenKey(Hive hive, std::string_view path, KeyAccess access) const {
  auto where = Locate(locations_, hive, path);
  if (!where) return where.error();
  auto database = OpenHive(*where, access);
  if (!database) return database.error();
  auto key = Resolve(**database, *where, false);
  if (!key) return key.error();
  return RegistryKey(std::move(*database), key->id, std::move(key->path), access);
}

Result<RegistryKey> Registry::CreateKey(Hive hive, std::string_view path) const {
  auto where = Locate(locations_, hive, path);
  if (!where) return where.error();
  auto database = OpenHive(*where, KeyAccess::Write);
  if (!database) return database.error();
  auto key = [&]() -> Result<registry_detail::ResolvedKey> {
    ChangeScope change(**database);
    if (!change.begun()) return change.begun().error();
    auto resolved = Resolve(**database, *where, true);
    if (!resolved) return resolved.error();
    Status committed = change.Commit();
    if (!committed) return committed.error();
    return resolved;
  }();
  if (!key) return key.error();
  return RegistryKey(std::move(*database), key->id, std::move(key->path), KeyAccess::Write);
}

Result<RegistryValue> Registry::GetValue(Hive hive, std::string_view path, std::string_view name) const {
  auto key = OpenKey(hive, path, KeyAccess::Read);
  if (!key) return key.error();
  return key->GetValue(name);
}

Status Registry::SetValue(Hive hive, std::string_view path, std::string_view name, const RegistryValue& value) const {
  Status validName = ValidateValueName(name);
  if (!validName) return validName;
  auto where = Locate(locations_, hive, path);
  if (!where) return where.error();
  auto database = OpenHive(*where, KeyAccess::Write);
  if (!database) return database.error();
  ChangeScope change(**database);
  if (!change.begun()) return change.begun();
  auto key = Resolve(**database, *where, true);
  if (!key) return key.error();
  Status written = registry_detail::WriteValue(**database, key->id, name, value);
  if (!written) return written;
  return change.Commit();
}

Status Registry::DeleteKey(Hive hive, std::string_view path) const { return Delete(hive, path, false); }

Status Registry::DeleteTree(Hive hive, std::string_view path) const { return Delete(hive, path, true); }

Status Registry::Delete(Hive hive, std::string_view path, bool withSubkeys) const {
  auto where = Locate(locations_, hive, path);
  if (!where) return where.error();
  if (where->names.empty()) return RootCannotBeDeleted();
  auto database = OpenHive(*where, KeyAccess::Write);
  if (!database) return database.error();
  ChangeScope change(**database);
  if (!change.begun()) return change.begun();
  auto key = Resolve(**database, *where, false);
  if (!key) return key.error();
  Status removed = registry_detail::RemoveKey(**database, key->id, withSubkeys);
  if (!removed) return removed;
  return change.Commit();
}

Result<std::string> Registry::HiveFilePath(Hive hive, std::string_view path) const {
  auto where = Locate(locations_, hive, path);
  if (!where) return where.error();
  return where->file.path;
}

Result<RegistryTransaction> Registry::BeginTransaction(Hive hive, std::string_view path) const {
  auto where = Locate(locations_, hive, path);
  if (!where) return where.error();
  auto database = OpenHive(*where, KeyAccess::Write);
  if (!database) return database.error();
  Status begun = (*database)->Begin();
  if (!begun) return begun.error();
  return RegistryTransaction(locations_, std::move(*database), where->file.path);
}

RegistryTransaction::RegistryTransaction(RegistryLocations locations, std::shared_ptr<HiveDatabase> hive,
                                         std::string filePath)
    : locations_(std::move(locations)), hive_(std::move(hive)), filePath_(std::move(filePath)), open_(true) {}

RegistryTransaction::RegistryTransaction(RegistryTransaction&& other) noexcept
    : locations_(std::move(other.locations_)),
      hive_(std::move(other.hive_)),
      filePath_(std::move(other.filePath_)),
      open_(other.open_) {
  other.open_ = false;
}

RegistryTransaction& RegistryTransaction::operator=(RegistryTransaction&& other) noexcept {
  if (this != &other) {
    if (open_) hive_->Rollback();
    locations_ = std::move(other.locations_);
    hive_ = std::move(other.hive_);
    filePath_ = std::move(other.filePath_);
    open_ = other.open_;
    other.open_ = false;
  }
  return *this;
}

RegistryTransaction::~RegistryTransaction() {
  if (open_) hive_->Rollback();
}

bool RegistryTransaction::Covers(Hive hive, std::string_view path) const {
  auto where = Locate(locations_, hive, path);
  return where && where->file.path == filePath_;
}

Result<RegistryKey> RegistryTransaction::OpenKey(Hive hive, std::string_view path, KeyAccess access) const {
  if (!open_) return MakeError("the transaction has ended");
  auto where = Locate(locations_, hive, path);
  if (!where) return where.error();
  if (where->file.path != filePath_) return MakeError("the key lies in another hive file than the transaction");
  auto key = Resolve(*hive_, *where, false);
  if (!key) return key.error();
  return RegistryKey(hive_, key->id, std::move(key->path), access);
}

Result<RegistryKey> RegistryTransaction::CreateKey(Hive hive, std::string_view path) const {
  if (!open_) return MakeError("the transaction has ended");
  auto where = Locate(locations_, hive, path);
  if (!where) return where.error();
  if (where->file.path != filePath_) return MakeError("the key lies in another hive file than the transaction");
  ChangeScope change(*hive_);
  if (!change.begun()) return change.begun().error();
  auto key = Resolve(*hive_, *where, true);
  if (!key) return key.error();
  Status committed = change.Commit();
  if (!committed) return committed.error();
  return RegistryKey(hive_, key->id, std::move(key->path), KeyAccess::Write);
}

Status RegistryTransaction::DeleteTree(Hive hive, std::string_view path) const {
  if (!open_) return MakeError("the transaction has ended");
  auto where = Locate(locations_, hive, path);
  if (!where) return where.error();
  if (where->file.path != filePath_) return MakeError("the key lies in another hive file than the transaction");
  if (where->names.empty()) return RootCannotBeDeleted();
  ChangeScope change(*hive_);
  if (!change.begun()) return change.begun();
  auto key = Resolve(*hive_, *where, false);
  if (!key) return key.error();
  Status removed = registry_detail::RemoveKey(*hive_, key->id, true);
  if (!removed) return removed;
  return change.Commit();
}

Status RegistryTransaction::Commit() {
  if (!open_) return MakeError("the transaction has ended");
  open_ = false;
  return hive_->Commit();
}

}  // namespace quorvane::platform
