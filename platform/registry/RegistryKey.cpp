#include "platform/registry/RegistryKey.h"

#include "platform/registry/HiveDatabase.h"
#include "platform/registry/KeyPath.h"
#include "platform/registry/KeyStore.h"

namespace quorvane::platform {

using registry_detail::ChangeScope;

RegistryKey::RegistryKey(std::shared_ptr<registry_detail::HiveDatabase> hive, std::int64_t id, std::string path,
                         KeyAccess access)
    : hive_(std::move(hive)), id_(id), path_(std::move(path)), access_(access) {}

RegistryKey::~RegistryKey() = default;

std::string RegistryKey::name() const {
  const std::size_t separator = path_.find_last_of('\\');
  return separator == std::string::npos ? path_ : path_.substr(separator + 1);
}

Status RegistryKey::RequireWrite() const {
  if (access_ != KeyAccess::Write) return MakeError(path_ + " is open for reading only");
  return Status::Ok();
}

Result<RegistryValue> RegistryKey::GetValue(std::string_view name) const {
  auto found = registry_detail::ReadValue(*hive_, id_, name);
  if (!found) return found.error();
  return std::move(found->value);
}

Result<NamedValue> RegistryKey::FindValue(std::string_view name) const {
  return registry_detail::ReadValue(*hive_, id_, name);
}

Result<std::vector<NamedValue>> RegistryKey::Values() const { return registry_detail::ReadValues(*hive_, id_); }

Status RegistryKey::SetValue(std::string_view name, const RegistryValue& value) const {
  Status allowed = RequireWrite();
  if (!allowed) return allowed;
  Status validName = ValidateValueName(name);
  if (!validName) return validName;
  ChangeScope change(*hive_);
  if (!change.begun()) return change.begun();
  Status written = registry_detail::WriteValue(*hive_, id_, name, value);
  if (!written) return written;
  return change.Commit();
}

Status RegistryKey::DeleteValue(std::string_view name) const {
  Status allowed = RequireWrite();
  if (!allowed) return allowed;
  ChangeScope change(*hive_);
  if (!change.begun()) return change.begun();
  Status removed = registry_detail::RemoveValue(*hive_, id_, name);
  if (!removed) return removed;
  return change.Commit();
}

Result<std::uint32_t> RegistryKey::SubkeyCount() const { return registry_detail::CountSubkeys(*hive_, id_); }

Result<std::string> RegistryKey::SubkeyName(std::uint32_t index) const {
  return registry_detail::SubkeyNameAt(*hive_, id_, index);
}

Result<std::vector<std::string>> RegistryKey::SubkeyNames() const {
  auto rows = registry_detail::ListSubkeys(*hive_, id_);
  if (!rows) return rows.error();
  std::vector<std::string> names;
  names.reserve(rows->size());
  for (auto& row : *rows) names.push_back(std::move(row.name));
  return names;
}

Result<RegistryKey> RegistryKey::OpenSubkey(std::string_view relativePath, KeyAccess access) const {
  if (access == KeyAccess::Write) {
    Status allowed = RequireWrite();
    if (!allowed) return allowed.error();
  }
  std::int64_t id = id_;
  std::string path = path_;
  for (std::string_view name : SplitKeyPath(relativePath)) {
    auto row = registry_detail::FindSubkey(*hive_, id, name);
    if (!row) return row.error();
    id = row->id;
    path += "\\" + row->name;
  }
  return RegistryKey(hive_, id, std::move(path), access);
}

Result<RegistryKey> RegistryKey::CreateSubkey(std::string_view relativePath) const {
  Status allowed = RequireWrite();
  if (!allowed) return allowed.error();
  const auto names = SplitKeyPath(relativePath);
  for (std::string_view name : names) {
    Status valid = ValidateKeyName(name);
    if (!valid) return valid.error();
  }
  ChangeScope change(*hive_);
  if (!change.begun()) return change.begun().error();
  if (!registry_detail::KeyExists(*hive_, id_)) return MakeError(path_ + " was deleted");
  std::int64_t id = id_;
  std::string path = path_;
  for (std::string_view name : names) {
    auto row = registry_detail::FindOrCreateSubkey(*hive_, id, name);
    if (!row) return row.error();
    id = row->id;
    path += "\\" + row->name;
  }
  Status committed = change.Commit();
  if (!committed) return committed.error();
  return RegistryKey(hive_, id, std::move(path), KeyAccess::Write);
}

Status RegistryKey::DeleteSubkey(std::string_view relativePath) const { return DeleteBelow(relativePath, false); }

Status RegistryKey::DeleteSubkeyTree(std::string_view relativePath) const { return DeleteBelow(relativePath, true); }

Status RegistryKey::DeleteBelow(std::string_view relativePath, bool withSubkeys) const {
  Status allowed = RequireWrite();
  if (!allowed) return allowed;
  const auto names = SplitKeyPath(relativePath);
  if (names.empty()) return MakeError("no subkey named");
  ChangeScope change(*hive_);
  if (!change.begun()) return change.begun();
  std::int64_t id = id_;
  for (std::string_view name : names) {
    auto row = registry_detail::FindSubkey(*hive_, id, name);
    if (!row) return row.error();
    id = row->id;
  }
  Status removed = registry_detail::RemoveKey(*hive_, id, withSubkeys);
  if (!removed) return removed;
  return change.Commit();
}

}  // namespace quorvane::platform
