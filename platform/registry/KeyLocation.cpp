#include "platform/registry/KeyLocation.h"

#include <pwd.h>
#include <unistd.h>

#include <optional>

#include "platform/registry/HiveNames.h"
#include "platform/registry/KeyPath.h"
#include "platform/registry/KeyStore.h"

namespace quorvane::platform::registry_detail {
namespace {

std::optional<gid_t> PrimaryGroupOf(uid_t uid) {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return std::nullopt;
  return found->pw_gid;
}

}  // namespace

Result<KeyLocation> Locate(const RegistryLocations& locations, Hive hive, std::string_view path) {
  KeyLocation where;
  for (std::string_view name : SplitKeyPath(path)) where.names.emplace_back(name);
  const std::string_view userRoot = RootKeyName(Hive::CurrentUser);
  switch (hive) {
    case Hive::LocalMachine:
    case Hive::ClassesRoot:
      where.file.path = locations.MachineHivePath();
      where.file.machineWide = true;
      where.rootName = RootKeyName(hive);
      where.displayPrefix = where.rootName;
      where.file.roots = {std::string(RootKeyName(Hive::LocalMachine)), std::string(RootKeyName(Hive::ClassesRoot))};
      break;
    case Hive::CurrentUser:
      where.file.path = locations.UserHivePath();
      where.file.roots = {std::string(userRoot)};
      where.rootName = userRoot;
      where.displayPrefix = where.rootName;
      break;
    case Hive::Users: {
      if (where.names.empty()) return MakeError("HKEY_USERS needs a user's security identifier");
      const auto uid = ParseUserSid(where.names.front());
      if (!uid) return MakeError("no user \"" + where.names.front() + "\" under HKEY_USERS");
      where.file.path = locations.UserHivePathFor(*uid);
      if (where.file.path.empty()) return MakeError("no account with uid " + std::to_string(*uid));
      if (*uid != geteuid()) {
        // Root creating another account's hive hands it to that account.
        where.file.owner = *uid;
        where.file.group = PrimaryGroupOf(*uid);
      }
      where.file.roots = {std::string(userRoot)};
      where.rootName = userRoot;
      where.displayPrefix = std::string(RootKeyName(Hive::Users)) + "\\" + UserSid(*uid);
      where.names.erase(where.names.begin());
      break;
    }
  }
  for (const auto& name : where.names) {
    Status valid = ValidateKeyName(name);
    if (!valid) return valid.error();
  }
  return where;
}

Result<ResolvedKey> Resolve(HiveDatabase& hive, const KeyLocation& where, bool create) {
  auto root = create ? FindOrCreateRoot(hive, where.rootName) : FindRoot(hive, where.rootName);
  if (!root) return root.error();
  ResolvedKey key{*root, where.displayPrefix};
  for (const auto& name : where.names) {
    auto row = create ? FindOrCreateSubkey(hive, key.id, name) : FindSubkey(hive, key.id, name);
    if (!row) return row.error();
    key.id = row->id;
    key.path += "\\" + row->name;
  }
  return key;
}

}  // namespace quorvane::platform::registry_detail
