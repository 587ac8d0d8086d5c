#pragma once
// The suite's registry access. Every call opens the key, acts and closes it
// again; nothing is held open between calls, so other programs' changes are
// seen at once. Read failures give an absent result (the caller's default
// applies); write failures give false.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/Hive.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryLocations.h"

namespace quorvane {

using platform::Hive;

class SettingsStore {
 public:
  // Text values are read into buffers of this many UTF-16 units, the
  // terminator included; a longer value reads as absent.
  static constexpr std::size_t kTextBufferUnits = 260;

  SettingsStore();  // locations from the environment
  explicit SettingsStore(platform::RegistryLocations locations);

  std::optional<std::string> ReadString(Hive hive, std::string_view path, std::string_view name) const;
  std::optional<std::uint32_t> ReadDword(Hive hive, std::string_view path, std::string_view name) const;
  std::optional<std::vector<std::uint8_t>> ReadBinary(Hive hive, std::string_view path,
                                                      std::string_view name) const;

  bool WriteString(Hive hive, std::string_view path, std::string_view name, std::string_view text) const;
  bool WriteDword(Hive hive, std::string_view path, std::string_view name, std::uint32_t value) const;
  bool WriteBinary(Hive hive, std::string_view path, std::string_view name,
                   const std::vector<std::uint8_t>& bytes) const;

  bool EnsureKey(Hive hive, std::string_view path) const;
  bool KeyExists(Hive hive, std::string_view path) const;
  // Name of the index-th subkey in the stable order (by name, ignoring case).
  std::optional<std::string> EnumerateSubkeys(Hive hive, std::string_view path, std::uint32_t index) const;
  std::optional<std::uint32_t> CountSubkeys(Hive hive, std::string_view path) const;
  // Only a key without subkeys is deleted.
  bool DeleteKey(Hive hive, std::string_view path) const;
  bool DeleteValue(Hive hive, std::string_view path, std::string_view name) const;

  // Absent or empty gives the default.
  std::string ReadStringWithDefault(Hive hive, std::string_view path, std::string_view name,
                                    std::string_view fallback) const;
  // HKEY_CURRENT_USER, then HKEY_LOCAL_MACHINE when that is empty, then the default.
  std::string ReadStringUserFirst(std::string_view path, std::string_view name,
                                  std::string_view fallback) const;

  const platform::RegistryLocations& locations() const { return registry_.locations(); }
  // The registry underneath, for callers that need more than the store's
  // operations (open handles, transactions).
  const platform::Registry& registry() const { return registry_; }

 private:
  platform::Registry registry_;
};

}  // namespace quorvane
