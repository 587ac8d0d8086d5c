#include "common/settings/SettingsStore.h"

#include "platform/base/Utf16.h"

namespace quorvane {

using platform::KeyAccess;
using platform::RegistryValue;
using platform::ValueType;

SettingsStore::SettingsStore() : SettingsStore(platform::RegistryLocations::FromEnvironment()) {}

SettingsStore::SettingsStore(platform::RegistryLocations locations) : registry_(std::move(locations)) {}

std::optional<std::string> SettingsStore::ReadString(Hive hive, std::string_view path, std::string_view name) const {
  auto value = registry_.GetValue(hive, path, name);
  if (!value || value->type != ValueType::String) return std::nullopt;
  // The terminator takes one unit of the buffer.
  if (platform::Utf16Length(value->text) + 1 > kTextBufferUnits) return std::nullopt;
  return std::move(value->text);
}

std::optional<std::uint32_t> SettingsStore::ReadDword(Hive hive, std::string_view path, std::string_view name) const {
  auto value = registry_.GetValue(hive, path, name);
  if (!value || value->type != ValueType::Dword) return std::nullopt;
  return value->dword;
}

std::optional<std::vector<std::uint8_t>> SettingsStore::ReadBinary(Hive hive, std::string_view path,
                                                                   std::string_view name) const {
  auto value = registry_.GetValue(hive, path, name);
  if (!value || value->type != ValueType::Binary) return std::nullopt;
  return std::move(value->bytes);
}

bool SettingsStore::WriteString(Hive hive, std::string_view path, std::string_view name, std::string_view text) const {
  return registry_.SetValue(hive, path, name, RegistryValue::String(std::string(text))).ok();
}

bool SettingsStore::WriteDword(Hive hive, std::string_view path, std::string_view name, std::uint32_t value) const {
  return registry_.SetValue(hive, path, name, RegistryValue::Dword(value)).ok();
}

bool SettingsStore::WriteBinary(Hive hive, std::string_view path, std::string_view name,
                                const std::vector<std::uint8_t>& bytes) const {
  return registry_.SetValue(hive, path, name, RegistryValue::Binary(bytes)).ok();
}

bool SettingsStore::EnsureKey(Hive hive, std::string_view path) const {
  if (registry_.OpenKey(hive, path, KeyAccess::Write)) return true;
  return registry_.CreateKey(hive, path).ok();
}

bool SettingsStore::KeyExists(Hive hive, std::string_view path) const {
  return registry_.OpenKey(hive, path, KeyAccess::Read).ok();
}

std::optional<std::string> SettingsStore::EnumerateSubkeys(Hive hive, std::string_view path,
                                                           std::uint32_t index) const {
  auto key = registry_.OpenKey(hive, path, KeyAccess::Read);
  if (!key) return std::nullopt;
  auto name = key->SubkeyName(index);
  if (!name) return std::nullopt;
  return std::move(*name);
}

std::optional<std::uint32_t> SettingsStore::CountSubkeys(Hive hive, std::string_view path) const {
  auto key = registry_.OpenKey(hive, path, KeyAccess::Read);
  if (!key) return std::nullopt;
  auto count = key->SubkeyCount();
  if (!count) return std::nullopt;
  return *count;
}

bool SettingsStore::DeleteKey(Hive hive, std::string_view path) const { return registry_.DeleteKey(hive, path).ok(); }

bool SettingsStore::DeleteValue(Hive hive, std::string_view path, std::string_view name) const {
  auto key = registry_.OpenKey(hive, path, KeyAccess::Write);
  return key && key->DeleteValue(name).ok();
}

std::string SettingsStore::ReadStringWithDefault(Hive hive, std::string_view path, std::string_view name,
                                                 std::string_view fallback) const {
  auto text = ReadString(hive, path, name);
  if (!text || text->empty()) return std::string(fallback);
  return std::move(*text);
}

std::string SettingsStore::ReadStringUserFirst(std::string_view path, std::string_view name,
                                               std::string_view fallback) const {
  auto text = ReadString(Hive::CurrentUser, path, name);
  if (!text || text->empty()) text = ReadString(Hive::LocalMachine, path, name);
  if (!text || text->empty()) return std::string(fallback);
  return std::move(*text);
}

}  // namespace quorvane
