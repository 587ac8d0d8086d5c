// The per-user and machine database folders and the copies between them,
// on registry hives and user folders inside a temporary folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/keydb/Catalogue.h"
#include "common/keydb/DatabaseFolders.h"
#include "common/settings/DeviceRegistry.h"
#include "tests/common/keydb/KeyFileTestSupport.h"
#include "tests/support/TempDir.h"

namespace quorvane::keydb {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::WriteBytes;

class DatabaseFoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(machineDb_);
    fs::create_directories(pluginDb_);
    WriteBytes(machineDb_ + "/BoxInfo.xml", "machine catalogue");
    WriteBytes(pluginDb_ + "/BoxInfo.xml", "plug-in catalogue");
  }

  void InstallMachineFolders() {
    ASSERT_TRUE(store_.WriteString(Hive::LocalMachine, kQuorvaneKeyPath, "DBPath", machineDb_));
    ASSERT_TRUE(store_.WriteString(Hive::LocalMachine, kPluginKeyPath, "DBPath", pluginDb_));
  }

  quorvane::testing::TempDir dir_;
  SettingsStore store_{platform::RegistryLocations{dir_.File("machine"), dir_.File("config")}};
  std::string machineDb_ = dir_.File("share/quorvane/db");
  std::string pluginDb_ = dir_.File("share/plugin/db");
  std::string localAppData_ = dir_.File("home/.local/share");
  std::string documents_ = dir_.File("home/Documents");
  UserFolders folders_{localAppData_, documents_};
};

TEST_F(DatabaseFoldersTest, FirstRunCreatesTheUserFolderAndCopiesTheCatalogue) {
  InstallMachineFolders();
  EXPECT_EQ(DatabaseFolder(store_), machineDb_);

  const std::string expected = localAppData_ + "/Quorvane";
  EXPECT_EQ(EnsureUserDatabaseFolder(store_, folders_), expected);
  EXPECT_EQ(UserDatabaseFolder(store_), expected);
  EXPECT_EQ(DatabaseFolder(store_), expected);
  EXPECT_EQ(ReadBytes(expected + "/BoxInfo.xml"), "machine catalogue");
  EXPECT_EQ(CataloguePath(expected), expected + "/BoxInfo.xml");
  EXPECT_EQ(KeyFilePath(expected, "50001.txt"), expected + "/50001.txt");

  // Later runs leave the user's edited copy alone, even when it is gone
  // and recreated by hand.
  WriteBytes(expected + "/BoxInfo.xml", "edited");
  EXPECT_EQ(EnsureUserDatabaseFolder(store_, folders_), expected);
  EXPECT_EQ(ReadBytes(expected + "/BoxInfo.xml"), "edited");
}

TEST_F(DatabaseFoldersTest, AnExistingCopyIsKeptWhenTheValueIsMissing) {
  InstallMachineFolders();
  fs::create_directories(localAppData_ + "/Quorvane");
  WriteBytes(localAppData_ + "/Quorvane/BoxInfo.xml", "user copy");
  EXPECT_EQ(EnsureUserDatabaseFolder(store_, folders_), localAppData_ + "/Quorvane");
  EXPECT_EQ(ReadBytes(localAppData_ + "/Quorvane/BoxInfo.xml"), "user copy");
}

TEST_F(DatabaseFoldersTest, FallsBackToTheDocumentsFolder) {
  InstallMachineFolders();
  EXPECT_EQ(EnsureUserDatabaseFolder(store_, UserFolders{std::nullopt, documents_}), documents_ + "/Quorvane");
  EXPECT_EQ(ReadBytes(documents_ + "/Quorvane/BoxInfo.xml"), "machine catalogue");

  // A local application data folder that cannot be made counts as unavailable.
  quorvane::testing::TempDir other;
  SettingsStore store{platform::RegistryLocations{other.File("machine"), other.File("config")}};
  WriteBytes(other.File("file"), "");
  EXPECT_EQ(EnsureUserDatabaseFolder(store, UserFolders{other.File("file/share"), other.File("Documents")}),
            other.File("Documents/Quorvane"));
}

TEST_F(DatabaseFoldersTest, WithoutAnyFolderNothingIsRecorded) {
  InstallMachineFolders();
  EXPECT_EQ(EnsureUserDatabaseFolder(store_, UserFolders{}), "");
  EXPECT_FALSE(UserDatabaseFolder(store_).has_value());
  // Without a machine catalogue the folder is still made and recorded.
  quorvane::testing::TempDir other;
  SettingsStore bare{platform::RegistryLocations{other.File("machine"), other.File("config")}};
  EXPECT_EQ(EnsureUserDatabaseFolder(bare, UserFolders{other.File("data"), std::nullopt}), other.File("data/Quorvane"));
  EXPECT_TRUE(fs::is_directory(other.File("data/Quorvane")));
  EXPECT_FALSE(fs::exists(other.File("data/Quorvane/BoxInfo.xml")));
  EXPECT_EQ(DatabaseFolder(bare), other.File("data/Quorvane"));
}

TEST_F(DatabaseFoldersTest, PluginFolderGetsEveryFileOfTheUserFolder) {
  InstallMachineFolders();
  const std::string user = localAppData_ + "/Quorvane";
  const std::string plugin = localAppData_ + "/Velmora Plug-in";
  fs::create_directories(user + "/sub");
  fs::create_directories(plugin);
  WriteBytes(user + "/BoxInfo.xml", "user catalogue");
  WriteBytes(user + "/50001.txt", "keys");
  WriteBytes(user + "/sub/inner.txt", "not copied");
  WriteBytes(plugin + "/BoxInfo.xml", "old");

  SyncPluginFolder(store_, folders_);
  EXPECT_EQ(ReadBytes(plugin + "/BoxInfo.xml"), "user catalogue");
  EXPECT_EQ(ReadBytes(plugin + "/50001.txt"), "keys");
  EXPECT_FALSE(fs::exists(plugin + "/sub"));
}

TEST_F(DatabaseFoldersTest, WithoutAUserCatalogueThePluginMachineCatalogueGoesToBoth) {
  InstallMachineFolders();
  fs::create_directories(localAppData_ + "/Quorvane");
  SyncPluginFolder(store_, folders_);
  EXPECT_EQ(ReadBytes(localAppData_ + "/Quorvane/BoxInfo.xml"), "plug-in catalogue");
  EXPECT_EQ(ReadBytes(localAppData_ + "/Velmora Plug-in/BoxInfo.xml"), "plug-in catalogue");
}

TEST_F(DatabaseFoldersTest, PluginSyncWithoutSourcesOnlyMakesTheFolder) {
  SyncPluginFolder(store_, folders_);
  EXPECT_TRUE(fs::is_directory(localAppData_ + "/Velmora Plug-in"));
  EXPECT_FALSE(fs::exists(localAppData_ + "/Velmora Plug-in/BoxInfo.xml"));
  SyncPluginFolder(store_, UserFolders{});  // nothing to do, nothing fails
}

}  // namespace
}  // namespace quorvane::keydb
