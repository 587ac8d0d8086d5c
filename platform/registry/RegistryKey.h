#pragma once
// An open key. The handle owns its hive connection (closed with the last
// handle that uses it); no lock is held between operations, so other
// processes' changes are seen at once. Every change is one transaction,
// unless the key was reached through a RegistryTransaction.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/Result.h"
#include "platform/registry/RegistryValue.h"

namespace quorvane::platform {

namespace registry_detail {
class HiveDatabase;
}

enum class KeyAccess { Read, Write };

class RegistryKey {
 public:
  RegistryKey(RegistryKey&&) noexcept = default;
  RegistryKey& operator=(RegistryKey&&) noexcept = default;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey();

  // Full path in the case the keys were created with, for example
  // "HKEY_CURRENT_USER\SOFTWARE\Quorvane".
  const std::string& path() const { return path_; }
  // The last element of the path.
  std::string name() const;
  KeyAccess access() const { return access_; }

  Result<RegistryValue> GetValue(std::string_view name) const;
  // The value together with its name as first written.
  Result<NamedValue> FindValue(std::string_view name) const;
  // In creation order.
  Result<std::vector<NamedValue>> Values() const;
  Status SetValue(std::string_view name, const RegistryValue& value) const;
  Status DeleteValue(std::string_view name) const;

  // Subkeys in the stable order: by name, ignoring case.
  Result<std::uint32_t> SubkeyCount() const;
  Result<std::string> SubkeyName(std::uint32_t index) const;
  Result<std::vector<std::string>> SubkeyNames() const;

  // Write access is available only below a key opened for writing.
  Result<RegistryKey> OpenSubkey(std::string_view relativePath, KeyAccess access) const;
  // Creates the missing keys of the path.
  Result<RegistryKey> CreateSubkey(std::string_view relativePath) const;
  // Refuses a key that has subkeys.
  Status DeleteSubkey(std::string_view relativePath) const;
  Status DeleteSubkeyTree(std::string_view relativePath) const;

 private:
  friend class Registry;
  friend class RegistryTransaction;
  RegistryKey(std::shared_ptr<registry_detail::HiveDatabase> hive, std::int64_t id, std::string path, KeyAccess access);
  Status RequireWrite() const;
  Status DeleteBelow(std::string_view relativePath, bool withSubkeys) const;

  std::shared_ptr<registry_detail::HiveDatabase> hive_;
  std::int64_t id_ = 0;
  std::string path_;
  KeyAccess access_ = KeyAccess::Read;
};

}  // namespace quorvane::platform
