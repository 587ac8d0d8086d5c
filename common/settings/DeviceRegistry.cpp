#include "common/settings/DeviceRegistry.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/base/Utf16.h"
#include "platform/registry/KeyPath.h"

namespace quorvane {

using platform::KeyAccess;
using platform::RegistryValue;

namespace {

constexpr std::string_view kCount = "Count";
constexpr std::string_view kDevice = "Device";

std::string JoinKey(std::string_view parent, std::string_view name) {
  std::string path(parent);
  path += '\\';
  path += name;
  return path;
}

int ToIndex(std::uint32_t value) {
  return value > static_cast<std::uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(value);
}

// The entry's values in the order they are written.
std::vector<platform::NamedValue> EntryValues(const DeviceEntry& entry) {
  return {
      {"BrandName", RegistryValue::String(entry.brandName)},
      {"ModelName", RegistryValue::String(entry.modelName)},
      {"UseDatabase", RegistryValue::Dword(entry.useDatabase)},
      {"ModelFile", RegistryValue::String(entry.modelFile)},
      {"DisplayMode", RegistryValue::Dword(entry.displayMode)},
      {"Digital", RegistryValue::Dword(entry.digital)},
      {"HundredKey", RegistryValue::Dword(entry.hundredKey)},
      {"InputType", RegistryValue::Dword(entry.inputType)},
      {"IntervalSpeed", RegistryValue::Dword(entry.intervalSpeed)},
  };
}

}  // namespace

DeviceRegistry::DeviceRegistry(SettingsStore store, std::string localAppDataDir)
    : store_(std::move(store)), localAppDataDir_(std::move(localAppDataDir)) {}

std::string DeviceRegistry::DefaultLocalAppDataDir() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && data[0] == '/') return data;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.local/share";
}

std::string DeviceRegistry::PluginFolder() const { return localAppDataDir_ + "/Velmora Plug-in"; }

std::vector<DeviceRow> DeviceRegistry::ListDevices() const {
  std::vector<DeviceRow> rows;
  const auto count = store_.ReadDword(Hive::CurrentUser, kDeviceKeyPath, kCount);
  if (!count || *count == 0) return rows;
  const auto current = store_.ReadString(Hive::CurrentUser, kDeviceKeyPath, kDevice);
  // One snapshot of the subkeys serves every index; indices past the
  // last subkey have none and are skipped.
  auto key = store_.registry().OpenKey(Hive::CurrentUser, kDeviceKeyPath, KeyAccess::Read);
  if (!key) return rows;
  auto names = key->SubkeyNames();
  if (!names) return rows;
  const std::size_t limit = std::min<std::size_t>(*count, names->size());
  for (std::size_t i = 0; i < limit; ++i) {
    const std::string& name = (*names)[i];
    rows.push_back(DeviceRow{static_cast<int>(i), name, current && *current == name});
  }
  return rows;
}

int DeviceRegistry::SelectDevice(int index, int currentIndex) const {
  if (index == currentIndex || index < 0) return currentIndex;
  const auto count = store_.ReadDword(Hive::CurrentUser, kDeviceKeyPath, kCount);
  if (!count || *count < 1) return currentIndex;
  const auto name = store_.EnumerateSubkeys(Hive::CurrentUser, kDeviceKeyPath, static_cast<std::uint32_t>(index));
  if (!name) return currentIndex;
  store_.WriteString(Hive::CurrentUser, kDeviceKeyPath, kDevice, *name);
  return index;
}

int DeviceRegistry::RemoveDevice(int index, int currentIndex) const {
  if (currentIndex < 0 || index < 0) return currentIndex;
  const auto count = store_.ReadDword(Hive::CurrentUser, kDeviceKeyPath, kCount);
  if (!count || *count == 0) return currentIndex;

  int current = currentIndex;
  if (index == current) {
    // Removing the first device keeps index 0, which now names the next one.
    current = index > 0 ? current - 1 : (*count < 2 ? -1 : 0);
  } else if (index < current) {
    --current;
  }

  std::uint32_t newCount = *count;
  if (index < ToIndex(*count)) {
    const auto name = store_.EnumerateSubkeys(Hive::CurrentUser, kDeviceKeyPath, static_cast<std::uint32_t>(index));
    if (name) {
      store_.DeleteKey(Hive::CurrentUser, JoinKey(kDeviceKeyPath, *name));
      newCount = *count - 1;
      store_.WriteDword(Hive::CurrentUser, kDeviceKeyPath, kCount, newCount);
    }
  }

  // With no device left `Device` is not rewritten and keeps the removed name.
  if (current >= 0 && current < ToIndex(newCount)) {
    const auto name = store_.EnumerateSubkeys(Hive::CurrentUser, kDeviceKeyPath, static_cast<std::uint32_t>(current));
    if (name) store_.WriteString(Hive::CurrentUser, kDeviceKeyPath, kDevice, *name);
  }
  return current;
}

bool DeviceRegistry::RegisterDevice(const DeviceEntry& entry, bool mediaCenterMode) const {
  const std::string& name = entry.modelName;
  // Refused before anything is written, so no half entry is left behind.
  if (!platform::ValidateKeyName(name)) return false;

  if (mediaCenterMode) store_.EnsureKey(Hive::LocalMachine, kPluginDeviceKeyPath);

  std::uint32_t newCount = 1;
  if (store_.ReadDword(Hive::CurrentUser, kDeviceKeyPath, kCount)) {
    std::vector<std::string> names;
    if (auto key = store_.registry().OpenKey(Hive::CurrentUser, kDeviceKeyPath, KeyAccess::Read)) {
      if (auto found = key->SubkeyNames()) names = std::move(*found);
    }
    bool known = false;
    for (const auto& existing : names) known = known || platform::EqualsIgnoringCase(existing, name);
    newCount = static_cast<std::uint32_t>(known ? names.size() : names.size() + 1);
  }

  bool ok = store_.WriteDword(Hive::CurrentUser, kDeviceKeyPath, kCount, newCount);
  if (mediaCenterMode) store_.WriteDword(Hive::LocalMachine, kPluginDeviceKeyPath, kCount, newCount);
  ok = store_.WriteString(Hive::CurrentUser, kDeviceKeyPath, kDevice, name) && ok;
  if (mediaCenterMode) {
    store_.WriteString(Hive::LocalMachine, kPluginDeviceKeyPath, kDevice, name);
    CopyForPlugin(localAppDataDir_ + "/Quorvane/BoxInfo.xml");
  }

  ok = store_.EnsureKey(Hive::CurrentUser, kDeviceKeyPath) && ok;
  const std::string userKey = JoinKey(kDeviceKeyPath, name);
  const std::string pluginKey = JoinKey(kPluginDeviceKeyPath, name);
  const auto& registry = store_.registry();
  for (const auto& [valueName, value] : EntryValues(entry)) {
    ok = registry.SetValue(Hive::CurrentUser, userKey, valueName, value).ok() && ok;
    if (!mediaCenterMode) continue;
    if (valueName == "ModelFile") {
      // The plug-in reads its own copy of the key file.
      const std::string copy = entry.modelFile.empty() ? std::string() : CopyForPlugin(entry.modelFile);
      (void)registry.SetValue(Hive::LocalMachine, pluginKey, valueName, RegistryValue::String(copy));
    } else {
      (void)registry.SetValue(Hive::LocalMachine, pluginKey, valueName, value);
    }
  }

  WriteMachineMirror(entry, newCount);

  if (mediaCenterMode) {
    store_.WriteDword(Hive::LocalMachine, kDeviceKeyPath, "IRLLock", 0);
    store_.WriteDword(Hive::LocalMachine, kPluginDeviceKeyPath, "IRLLock", 0);
  }
  return ok;
}

void DeviceRegistry::WriteMachineMirror(const DeviceEntry& entry, std::uint32_t count) const {
  const auto& registry = store_.registry();
  auto key = registry.OpenKey(Hive::LocalMachine, kDeviceKeyPath, KeyAccess::Write);
  if (!key && registry.OpenKey(Hive::LocalMachine, kQuorvaneKeyPath, KeyAccess::Read)) {
    key = registry.CreateKey(Hive::LocalMachine, kDeviceKeyPath);
  }
  // Without write access to the machine hive nothing is mirrored.
  if (!key) return;
  (void)key->SetValue(kCount, RegistryValue::Dword(count));
  (void)key->SetValue(kDevice, RegistryValue::String(entry.modelName));
  auto device = key->CreateSubkey(entry.modelName);
  if (!device) return;
  for (const auto& [valueName, value] : EntryValues(entry)) (void)device->SetValue(valueName, value);
}

std::string DeviceRegistry::CopyForPlugin(const std::string& file) const {
  namespace fs = std::filesystem;
  const fs::path target = fs::path(PluginFolder()) / fs::path(file).filename();
  // Copy failures are not reported: the plug-in then finds no file there.
  std::error_code ignored;
  fs::create_directories(PluginFolder(), ignored);
  fs::copy_file(file, target, fs::copy_options::overwrite_existing, ignored);
  return target.string();
}

CurrentDevice DeviceRegistry::ReadDeviceEntry(std::string_view userSid) const {
  CurrentDevice result;
  const std::string deviceKey = JoinKey(userSid, kDeviceKeyPath);
  const auto name = store_.ReadString(Hive::Users, deviceKey, kDevice);
  if (!name || name->empty()) return result;
  result.name = *name;
  const std::string modelKey = JoinKey(deviceKey, *name);
  const auto brand = store_.ReadString(Hive::Users, modelKey, "BrandName");
  if (!brand || brand->empty()) {
    result.state = CurrentDeviceState::NotLearned;
    return result;
  }
  result.state = CurrentDeviceState::Found;
  DeviceEntry& entry = result.entry;
  entry.brandName = *brand;
  entry.modelName = store_.ReadString(Hive::Users, modelKey, "ModelName").value_or("");
  entry.modelFile = store_.ReadString(Hive::Users, modelKey, "ModelFile").value_or("");
  entry.useDatabase = store_.ReadDword(Hive::Users, modelKey, "UseDatabase").value_or(0);
  // The numbers pass through one variable, so a missing one repeats the
  // number read before it.
  std::uint32_t number = 0;
  const std::pair<std::string_view, std::uint32_t*> numbers[] = {
      {"DisplayMode", &entry.displayMode},     {"Digital", &entry.digital},
      {"InputType", &entry.inputType},         {"HundredKey", &entry.hundredKey},
      {"IntervalSpeed", &entry.intervalSpeed},
  };
  for (const auto& [valueName, field] : numbers) {
    if (const auto value = store_.ReadDword(Hive::Users, modelKey, valueName)) number = *value;
    *field = number;
  }
  return result;
}

void DeviceList::Fill() {
  rows_ = registry_.ListDevices();
  current_ = -1;
  for (const auto& row : rows_) {
    if (row.current) current_ = row.index;
  }
}

void DeviceList::SelectDevice(int index) {
  const int selected = registry_.SelectDevice(index, current_);
  if (selected == current_) return;
  current_ = selected;
  MarkCurrent();
}

int DeviceList::RemoveDevice(int index) {
  if (current_ < 0) return current_;
  const auto count = registry_.store().ReadDword(Hive::CurrentUser, kDeviceKeyPath, kCount);
  if (!count || *count == 0) return current_;
  if (index >= 0 && static_cast<std::size_t>(index) < rows_.size()) rows_.erase(rows_.begin() + index);
  current_ = registry_.RemoveDevice(index, current_);
  for (std::size_t k = 0; k < rows_.size(); ++k) rows_[k].index = static_cast<int>(k);
  MarkCurrent();
  return current_;
}

void DeviceList::MarkCurrent() {
  for (auto& row : rows_) row.current = row.index == current_;
}

}  // namespace quorvane
