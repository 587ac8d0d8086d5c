#pragma once
// The registry stand-in: one SQLite file per hive. HKEY_LOCAL_MACHINE and
// HKEY_CLASSES_ROOT are two roots of the machine hive, HKEY_CURRENT_USER
// is the user hive, and HKEY_USERS\S-1-22-1-<uid>\... opens the user hive
// of that uid. Paths are joined by '\' and compare ignoring case.
//
// A hive that this account cannot write opens for reading only: writes
// fail with an error and nothing else happens. Reading a hive whose file
// does not exist finds nothing and creates nothing.

#include <memory>
#include <string>
#include <string_view>

#include "platform/base/Result.h"
#include "platform/registry/Hive.h"
#include "platform/registry/RegistryKey.h"
#include "platform/registry/RegistryLocations.h"
#include "platform/registry/RegistryValue.h"

namespace quorvane::platform {

class RegistryTransaction;

class Registry {
 public:
  Registry();  // locations from the environment
  explicit Registry(RegistryLocations locations);

  const RegistryLocations& locations() const { return locations_; }

  Result<RegistryKey> OpenKey(Hive hive, std::string_view path, KeyAccess access = KeyAccess::Read) const;
  // Opens the key for writing, creating it and its parents when missing.
  Result<RegistryKey> CreateKey(Hive hive, std::string_view path) const;

  Result<RegistryValue> GetValue(Hive hive, std::string_view path, std::string_view name) const;
  // Creates the key when missing and sets the value, in one transaction.
  Status SetValue(Hive hive, std::string_view path, std::string_view name, const RegistryValue& value) const;
  // Refuses a key that has subkeys, and a hive root.
  Status DeleteKey(Hive hive, std::string_view path) const;
  Status DeleteTree(Hive hive, std::string_view path) const;

  // The file that holds the key; for HKEY_USERS the first path element
  // chooses it.
  Result<std::string> HiveFilePath(Hive hive, std::string_view path) const;

  // Opens the hive file that holds the key for a group of changes that
  // become visible together at Commit.
  Result<RegistryTransaction> BeginTransaction(Hive hive, std::string_view path) const;

 private:
  Status Delete(Hive hive, std::string_view path, bool withSubkeys) const;

  RegistryLocations locations_;
};

// Changes to one hive file made together: keys reached through it share its
// connection, and their changes are written at Commit or not at all. The
// write lock of the file is held until then, so keep it short.
class RegistryTransaction {
 public:
  RegistryTransaction(RegistryTransaction&& other) noexcept;
  RegistryTransaction& operator=(RegistryTransaction&& other) noexcept;
  RegistryTransaction(const RegistryTransaction&) = delete;
  RegistryTransaction& operator=(const RegistryTransaction&) = delete;
  ~RegistryTransaction();  // rolls back unless committed

  const std::string& filePath() const { return filePath_; }
  // Whether the key lies in this transaction's file.
  bool Covers(Hive hive, std::string_view path) const;

  Result<RegistryKey> OpenKey(Hive hive, std::string_view path, KeyAccess access) const;
  Result<RegistryKey> CreateKey(Hive hive, std::string_view path) const;
  Status DeleteTree(Hive hive, std::string_view path) const;

  Status Commit();

 private:
  friend class Registry;
  RegistryTransaction(RegistryLocations locations, std::shared_ptr<registry_detail::HiveDatabase> hive,
                      std::string filePath);

  RegistryLocations locations_;
  std::shared_ptr<registry_detail::HiveDatabase> hive_;
  std::string filePath_;
  bool open_ = false;
};

}  // namespace quorvane::platform
