#pragma once
// Row-level operations on the keys and values of an open hive file. The
// changing ones expect to run inside a transaction of the caller.
// Used only inside platform/registry.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/Result.h"
#include "platform/registry/HiveDatabase.h"
#include "platform/registry/RegistryValue.h"

namespace quorvane::platform::registry_detail {

struct KeyRow {
  std::int64_t id = 0;
  std::string name;  // as created
};

Result<std::int64_t> FindRoot(HiveDatabase& hive, std::string_view rootName);
Result<std::int64_t> FindOrCreateRoot(HiveDatabase& hive, std::string_view rootName);
Result<KeyRow> FindSubkey(HiveDatabase& hive, std::int64_t parent, std::string_view name);
// An existing subkey keeps the case it was created with.
Result<KeyRow> FindOrCreateSubkey(HiveDatabase& hive, std::int64_t parent, std::string_view name);
bool KeyExists(HiveDatabase& hive, std::int64_t key);

// The value with its name as first written.
Result<NamedValue> ReadValue(HiveDatabase& hive, std::int64_t key, std::string_view name);
Result<std::vector<NamedValue>> ReadValues(HiveDatabase& hive, std::int64_t key);
// Overwriting keeps the value name's first spelling.
Status WriteValue(HiveDatabase& hive, std::int64_t key, std::string_view name, const RegistryValue& value);
Status RemoveValue(HiveDatabase& hive, std::int64_t key, std::string_view name);

Result<std::uint32_t> CountSubkeys(HiveDatabase& hive, std::int64_t key);
// Subkeys in the stable order: by name ignoring case.
Result<std::string> SubkeyNameAt(HiveDatabase& hive, std::int64_t key, std::uint32_t index);
Result<std::vector<KeyRow>> ListSubkeys(HiveDatabase& hive, std::int64_t key);

// Removes the key with its values; with withSubkeys also its whole tree,
// otherwise a key that has subkeys is refused.
Status RemoveKey(HiveDatabase& hive, std::int64_t key, bool withSubkeys);

}  // namespace quorvane::platform::registry_detail
