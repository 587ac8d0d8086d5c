#pragma once
// Where a key lies: which hive file, which root inside it, and the names
// below the root. Used only inside platform/registry.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/Result.h"
#include "platform/registry/Hive.h"
#include "platform/registry/HiveDatabase.h"
#include "platform/registry/RegistryLocations.h"

namespace quorvane::platform::registry_detail {

struct KeyLocation {
  HiveFile file;
  std::string rootName;       // root row inside the file
  std::string displayPrefix;  // "HKEY_USERS\S-1-22-1-1000" for a key reached through HKEY_USERS
  std::vector<std::string> names;
};

Result<KeyLocation> Locate(const RegistryLocations& locations, Hive hive, std::string_view path);

struct ResolvedKey {
  std::int64_t id = 0;
  std::string path;  // display prefix and the names as created
};

// With create, missing keys are made; the caller holds a transaction then.
Result<ResolvedKey> Resolve(HiveDatabase& hive, const KeyLocation& where, bool create);

}  // namespace quorvane::platform::registry_detail
