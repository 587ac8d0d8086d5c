#pragma once
// The user's list of set-top boxes ("devices") under HKEY_CURRENT_USER
// "SOFTWARE\Quorvane\Device": one subkey per device, `Count` and the
// current device's name in `Device`. A device has no stored number: its
// index is its position among the subkeys in the store's order, so indices
// shift when a device is removed. Every operation re-reads the store.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/settings/SettingsStore.h"

namespace quorvane {

inline constexpr std::string_view kDeviceKeyPath = "SOFTWARE\\Quorvane\\Device";
inline constexpr std::string_view kQuorvaneKeyPath = "SOFTWARE\\Quorvane";
inline constexpr std::string_view kPluginKeyPath = "SOFTWARE\\Velmora Plug-in";
inline constexpr std::string_view kPluginDeviceKeyPath = "SOFTWARE\\Velmora Plug-in\\Device";

// The nine values of a device subkey.
struct DeviceEntry {
  std::string brandName;
  std::string modelName;  // the device name; also the name of its subkey
  std::uint32_t useDatabase = 0;
  std::string modelFile;  // full path of the device's key file
  std::uint32_t displayMode = 0;
  std::uint32_t digital = 0;
  std::uint32_t hundredKey = 0;
  std::uint32_t inputType = 0;
  std::uint32_t intervalSpeed = 0;

  bool operator==(const DeviceEntry&) const = default;
};

struct DeviceRow {
  int index = 0;
  std::string name;
  bool current = false;

  bool operator==(const DeviceRow&) const = default;
};

// What the service finds for the console user.
enum class CurrentDeviceState {
  NoDevice,    // `Device` absent or empty: no box is driven
  NotLearned,  // the named subkey has no `BrandName`: learning was not finished
  Found,
};

struct CurrentDevice {
  CurrentDeviceState state = CurrentDeviceState::NoDevice;
  std::string name;  // `Device`
  DeviceEntry entry;
};

class DeviceRegistry {
 public:
  // localAppDataDir: the user's local application data folder, whose
  // "Velmora Plug-in" folder receives the Media Center copies of the key
  // file and of "Quorvane/BoxInfo.xml"; default $XDG_DATA_HOME
  // (~/.local/share).
  explicit DeviceRegistry(SettingsStore store, std::string localAppDataDir = DefaultLocalAppDataDir());

  static std::string DefaultLocalAppDataDir();

  // Devices in store order, for index 0 .. `Count`-1; indices that have no
  // subkey are skipped. A device is current when its name equals `Device`
  // exactly (case-sensitive).
  std::vector<DeviceRow> ListDevices() const;

  // Makes the index-th device current (writes `Device`); returns the new
  // current index, which stays currentIndex when nothing was selected.
  int SelectDevice(int index, int currentIndex) const;

  // Deletes the index-th device, lowers `Count` and rewrites `Device` for
  // the device that is current afterwards; returns the new current index
  // (-1 when none). Runs only while a device is current (currentIndex >= 0).
  // When the last device goes, `Device` keeps the removed name.
  int RemoveDevice(int index, int currentIndex) const;

  // Writes the entry, makes it current, and mirrors it under HKEY_LOCAL_MACHINE
  // when that is writable (and, in Media Center mode, for the plug-in). A
  // name that exists in another letter case overwrites that entry in place.
  // False when the user's own entry could not be written completely.
  bool RegisterDevice(const DeviceEntry& entry, bool mediaCenterMode) const;

  // The current device of a user, read through HKEY_USERS\<sid>. A missing
  // number takes the value of the number read before it.
  CurrentDevice ReadDeviceEntry(std::string_view userSid) const;

  // "<local application data>/Velmora Plug-in".
  std::string PluginFolder() const;

  const SettingsStore& store() const { return store_; }

 private:
  bool WriteEntry(Hive hive, std::string_view deviceKey, const DeviceEntry& entry) const;
  void WriteMachineMirror(const DeviceEntry& entry, std::uint32_t count) const;
  std::string CopyForPlugin(const std::string& file) const;

  SettingsStore store_;
  std::string localAppDataDir_;
};

// A device list as the device dialogs show it: the rows and the index of
// the current row (-1 when none).
class DeviceList {
 public:
  explicit DeviceList(DeviceRegistry registry) : registry_(std::move(registry)) {}

  // Re-reads the rows and the current index from the store.
  void Fill();
  void SelectDevice(int index);
  // Returns the new current index.
  int RemoveDevice(int index);

  const std::vector<DeviceRow>& rows() const { return rows_; }
  int currentIndex() const { return current_; }
  const DeviceRegistry& registry() const { return registry_; }

 private:
  void MarkCurrent();

  DeviceRegistry registry_;
  std::vector<DeviceRow> rows_;
  int current_ = -1;
};

}  // namespace quorvane
