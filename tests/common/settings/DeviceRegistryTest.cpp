#include "common/settings/DeviceRegistry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/registry/HiveNames.h"
#include "tests/platform/registry/RegistryTestSupport.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;

// Registrations make many commits; a memory file system keeps them quick.
class DeviceRegistryTest : public ::testing::Test {
 protected:
  testing::TempHives hives{testing::TempFolder::MemoryBase()};
  SettingsStore store{hives.locations};
  std::string dataDir = hives.folder.path() + "/data";
  DeviceRegistry devices{store, dataDir};

  static DeviceEntry Entry(const std::string& name, std::uint32_t interval = 300) {
    DeviceEntry entry;
    entry.brandName = "User Defined";
    entry.modelName = name;
    entry.modelFile = "/keys/" + name + ".dat";
    entry.displayMode = 1;
    entry.digital = 2;
    entry.hundredKey = 1;
    entry.inputType = 1;
    entry.intervalSpeed = interval;
    return entry;
  }

  void RegisterAll(std::initializer_list<const char*> names) {
    for (const char* name : names) ASSERT_TRUE(devices.RegisterDevice(Entry(name), false)) << name;
  }

  std::optional<std::uint32_t> Count() const { return store.ReadDword(Hive::CurrentUser, kDeviceKeyPath, "Count"); }
  std::optional<std::string> Current() const { return store.ReadString(Hive::CurrentUser, kDeviceKeyPath, "Device"); }
  std::string OwnSid() const { return platform::UserSid(geteuid()); }
};

std::vector<DeviceRow> Rows(std::initializer_list<DeviceRow> rows) { return rows; }

TEST_F(DeviceRegistryTest, RegistrationAddsOrOverwritesAndMakesTheDeviceCurrent) {
  ASSERT_TRUE(devices.RegisterDevice(Entry("Cable"), false));
  EXPECT_EQ(Count(), 1u);
  EXPECT_EQ(Current(), "Cable");
  const CurrentDevice first = devices.ReadDeviceEntry(OwnSid());
  EXPECT_EQ(first.state, CurrentDeviceState::Found);
  EXPECT_EQ(first.entry, Entry("Cable"));

  ASSERT_TRUE(devices.RegisterDevice(Entry("Satellite"), false));
  EXPECT_EQ(Count(), 2u);
  EXPECT_EQ(devices.ListDevices(), Rows({{0, "Cable", false}, {1, "Satellite", true}}));

  // Same name in other letters: the entry is overwritten in place, its key
  // keeps its case, and the case-sensitive current-name rule marks no row.
  ASSERT_TRUE(devices.RegisterDevice(Entry("cable", 500), false));
  EXPECT_EQ(Count(), 2u);
  EXPECT_EQ(Current(), "cable");
  EXPECT_EQ(store.ReadDword(Hive::CurrentUser, "SOFTWARE\\Quorvane\\Device\\Cable", "IntervalSpeed"), 500u);
  EXPECT_EQ(store.ReadString(Hive::CurrentUser, "SOFTWARE\\Quorvane\\Device\\Cable", "ModelName"), "cable");
  EXPECT_EQ(devices.ListDevices(), Rows({{0, "Cable", false}, {1, "Satellite", false}}));
}

TEST_F(DeviceRegistryTest, RegistrationRebuildsCountFromTheSubkeys) {
  RegisterAll({"A", "B", "C"});
  ASSERT_TRUE(store.WriteDword(Hive::CurrentUser, kDeviceKeyPath, "Count", 5));
  ASSERT_TRUE(devices.RegisterDevice(Entry("D"), false));
  EXPECT_EQ(Count(), 4u);

  // Without Count the new count is 1, whatever the subkeys.
  ASSERT_TRUE(store.DeleteValue(Hive::CurrentUser, kDeviceKeyPath, "Count"));
  ASSERT_TRUE(devices.RegisterDevice(Entry("E"), false));
  EXPECT_EQ(Count(), 1u);
}

TEST_F(DeviceRegistryTest, InvalidNamesAreRefusedBeforeAnythingIsWritten) {
  EXPECT_FALSE(devices.RegisterDevice(Entry(""), false));
  EXPECT_FALSE(devices.RegisterDevice(Entry("a\\b"), false));
  EXPECT_FALSE(devices.RegisterDevice(Entry(std::string(256, 'x')), false));
  EXPECT_FALSE(store.KeyExists(Hive::CurrentUser, kDeviceKeyPath));
}

TEST_F(DeviceRegistryTest, ListingFollowsCountAndSkipsIndicesWithoutSubkey) {
  RegisterAll({"Cable", "Antenna"});
  ASSERT_TRUE(store.WriteDword(Hive::CurrentUser, kDeviceKeyPath, "Count", 7));
  EXPECT_EQ(devices.ListDevices(), Rows({{0, "Antenna", true}, {1, "Cable", false}}));
  ASSERT_TRUE(store.WriteDword(Hive::CurrentUser, kDeviceKeyPath, "Count", 1));
  EXPECT_EQ(devices.ListDevices(), Rows({{0, "Antenna", true}}));
  ASSERT_TRUE(store.WriteDword(Hive::CurrentUser, kDeviceKeyPath, "Count", 0));
  EXPECT_TRUE(devices.ListDevices().empty());
}

TEST_F(DeviceRegistryTest, SelectingRewritesDeviceAndMovesTheMark) {
  RegisterAll({"A", "B", "C"});  // C is current
  DeviceList list(devices);
  list.Fill();
  EXPECT_EQ(list.currentIndex(), 2);
  list.SelectDevice(0);
  EXPECT_EQ(list.currentIndex(), 0);
  EXPECT_EQ(Current(), "A");
  EXPECT_EQ(list.rows(), Rows({{0, "A", true}, {1, "B", false}, {2, "C", false}}));
  list.SelectDevice(5);  // no such subkey
  EXPECT_EQ(list.currentIndex(), 0);
  EXPECT_EQ(Current(), "A");
}

TEST_F(DeviceRegistryTest, RemovalRenumbersAndRewritesTheCurrentDevice) {
  struct Case {
    const char* what;
    std::vector<const char*> devices;
    const char* current;  // selected before the removal
    int remove;
    int newCurrent;
    std::optional<std::string> device;  // `Device` afterwards
    std::vector<DeviceRow> rows;
  };
  const Case cases[] = {
      {"current first of two: the next one becomes current", {"A", "B"}, "A", 0, 0, "B", {{0, "B", true}}},
      {"the only device: Device keeps its name", {"A"}, "A", 0, -1, "A", {}},
      {"before the current one: index shifts, same device",
       {"A", "B", "C"},
       "C",
       0,
       1,
       "C",
       {{0, "B", false}, {1, "C", true}}},
      {"after the current one", {"A", "B", "C"}, "A", 2, 0, "A", {{0, "A", true}, {1, "B", false}}},
      {"current not first: the one before becomes current",
       {"A", "B", "C"},
       "B",
       1,
       0,
       "A",
       {{0, "A", true}, {1, "C", false}}},
  };
  for (const auto& c : cases) {
    testing::TempHives own(testing::TempFolder::MemoryBase());
    const DeviceRegistry registry(SettingsStore(own.locations), own.folder.path());
    for (const char* name : c.devices) ASSERT_TRUE(registry.RegisterDevice(Entry(name), false));
    ASSERT_TRUE(registry.store().WriteString(Hive::CurrentUser, kDeviceKeyPath, "Device", c.current));
    DeviceList list(registry);
    list.Fill();
    const int removedBefore = list.currentIndex();
    ASSERT_GE(removedBefore, 0) << c.what;

    EXPECT_EQ(list.RemoveDevice(c.remove), c.newCurrent) << c.what;
    EXPECT_EQ(list.currentIndex(), c.newCurrent) << c.what;
    EXPECT_EQ(list.rows(), c.rows) << c.what;
    EXPECT_EQ(registry.store().ReadDword(Hive::CurrentUser, kDeviceKeyPath, "Count"), c.devices.size() - 1) << c.what;
    EXPECT_EQ(registry.store().CountSubkeys(Hive::CurrentUser, kDeviceKeyPath), c.devices.size() - 1) << c.what;
    EXPECT_EQ(registry.store().ReadString(Hive::CurrentUser, kDeviceKeyPath, "Device"), c.device) << c.what;
    // A fresh listing agrees with the list's own bookkeeping.
    EXPECT_EQ(registry.ListDevices(), c.rows) << c.what;
  }
}

TEST_F(DeviceRegistryTest, RemovalNeedsACurrentDevice) {
  RegisterAll({"A", "B"});
  ASSERT_TRUE(store.WriteString(Hive::CurrentUser, kDeviceKeyPath, "Device", "nobody"));
  DeviceList list(devices);
  list.Fill();
  EXPECT_EQ(list.currentIndex(), -1);
  EXPECT_EQ(list.RemoveDevice(0), -1);
  EXPECT_EQ(Count(), 2u);
  EXPECT_EQ(list.rows().size(), 2u);
}

TEST_F(DeviceRegistryTest, TheServiceReadsTheCurrentEntryThroughHkeyUsers) {
  EXPECT_EQ(devices.ReadDeviceEntry(OwnSid()).state, CurrentDeviceState::NoDevice);
  ASSERT_TRUE(store.WriteString(Hive::CurrentUser, kDeviceKeyPath, "Device", ""));
  EXPECT_EQ(devices.ReadDeviceEntry(OwnSid()).state, CurrentDeviceState::NoDevice);
  ASSERT_TRUE(store.WriteString(Hive::CurrentUser, kDeviceKeyPath, "Device", "Half"));
  ASSERT_TRUE(store.WriteString(Hive::CurrentUser, "SOFTWARE\\Quorvane\\Device\\Half", "ModelName", "Half"));
  EXPECT_EQ(devices.ReadDeviceEntry(OwnSid()).state, CurrentDeviceState::NotLearned);

  DeviceEntry entry = Entry("Box");
  entry.displayMode = 1;
  entry.digital = 0;
  entry.inputType = 1;
  entry.hundredKey = 0;
  entry.intervalSpeed = 250;
  ASSERT_TRUE(devices.RegisterDevice(entry, false));
  const std::string key = "SOFTWARE\\Quorvane\\Device\\Box";
  ASSERT_TRUE(store.DeleteValue(Hive::CurrentUser, key, "Digital"));
  ASSERT_TRUE(store.DeleteValue(Hive::CurrentUser, key, "HundredKey"));

  const CurrentDevice current = devices.ReadDeviceEntry(OwnSid());
  ASSERT_EQ(current.state, CurrentDeviceState::Found);
  EXPECT_EQ(current.name, "Box");
  EXPECT_EQ(current.entry.modelFile, entry.modelFile);
  // Order of reading: DisplayMode, Digital, InputType, HundredKey, IntervalSpeed.
  EXPECT_EQ(current.entry.displayMode, 1u);
  EXPECT_EQ(current.entry.digital, 1u) << "takes DisplayMode's value";
  EXPECT_EQ(current.entry.inputType, 1u);
  EXPECT_EQ(current.entry.hundredKey, 1u) << "takes InputType's value";
  EXPECT_EQ(current.entry.intervalSpeed, 250u);

  ASSERT_TRUE(store.DeleteValue(Hive::CurrentUser, key, "DisplayMode"));
  EXPECT_EQ(devices.ReadDeviceEntry(OwnSid()).entry.displayMode, 0u);
}

TEST_F(DeviceRegistryTest, TheMachineMirrorIsWrittenWhenWritable) {
  ASSERT_TRUE(store.WriteString(Hive::LocalMachine, kQuorvaneKeyPath, "AppPath", "/opt/bin"));
  RegisterAll({"Cable", "Satellite"});
  EXPECT_EQ(store.ReadDword(Hive::LocalMachine, kDeviceKeyPath, "Count"), 2u);
  EXPECT_EQ(store.ReadString(Hive::LocalMachine, kDeviceKeyPath, "Device"), "Satellite");
  EXPECT_EQ(store.ReadDword(Hive::LocalMachine, "SOFTWARE\\Quorvane\\Device\\Cable", "IntervalSpeed"), 300u);
  EXPECT_FALSE(store.KeyExists(Hive::LocalMachine, kPluginKeyPath));
  EXPECT_FALSE(store.ReadDword(Hive::LocalMachine, kDeviceKeyPath, "IRLLock"));
}

TEST_F(DeviceRegistryTest, WithoutMachineRightsRegistrationSucceedsUnmirrored) {
  ASSERT_TRUE(store.WriteString(Hive::LocalMachine, kQuorvaneKeyPath, "AppPath", "/opt/bin"));
  const int result = testing::RunWithoutMachineWriteRights(hives, [&] {
    const DeviceRegistry unprivileged(SettingsStore(hives.locations), dataDir);
    if (!unprivileged.RegisterDevice(Entry("Cable"), false)) return 1;
    if (!unprivileged.RegisterDevice(Entry("Satellite"), true)) return 2;
    if (unprivileged.ListDevices().size() != 2) return 3;
    return 0;
  });
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(store.KeyExists(Hive::LocalMachine, kDeviceKeyPath));
  EXPECT_FALSE(store.KeyExists(Hive::LocalMachine, kPluginKeyPath));
  EXPECT_EQ(store.ReadString(Hive::CurrentUser, kDeviceKeyPath, "Device"), "Satellite");
}

TEST_F(DeviceRegistryTest, MediaCenterModeFillsThePluginKeyWithCopies) {
  fs::create_directories(dataDir + "/Quorvane");
  std::ofstream(dataDir + "/Quorvane/BoxInfo.xml") << "<catalogue/>";
  const std::string keyFile = hives.folder.path() + "/learned.dat";
  std::ofstream(keyFile) << "codes";
  DeviceEntry entry = Entry("Cable");
  entry.modelFile = keyFile;

  ASSERT_TRUE(devices.RegisterDevice(entry, true));
  const std::string copy = devices.PluginFolder() + "/learned.dat";
  EXPECT_EQ(devices.PluginFolder(), dataDir + "/Velmora Plug-in");
  EXPECT_TRUE(fs::exists(copy));
  EXPECT_TRUE(fs::exists(devices.PluginFolder() + "/BoxInfo.xml"));

  EXPECT_EQ(store.ReadDword(Hive::LocalMachine, kPluginDeviceKeyPath, "Count"), 1u);
  EXPECT_EQ(store.ReadString(Hive::LocalMachine, kPluginDeviceKeyPath, "Device"), "Cable");
  const std::string pluginEntry = std::string(kPluginDeviceKeyPath) + "\\Cable";
  EXPECT_EQ(store.ReadString(Hive::LocalMachine, pluginEntry, "ModelFile"), copy);
  EXPECT_EQ(store.ReadDword(Hive::LocalMachine, pluginEntry, "IntervalSpeed"), 300u);
  EXPECT_EQ(store.ReadString(Hive::CurrentUser, "SOFTWARE\\Quorvane\\Device\\Cable", "ModelFile"), keyFile);
  EXPECT_EQ(store.ReadDword(Hive::LocalMachine, kPluginDeviceKeyPath, "IRLLock"), 0u);
  EXPECT_EQ(store.ReadDword(Hive::LocalMachine, kDeviceKeyPath, "IRLLock"), 0u);
}

}  // namespace
}  // namespace quorvane
