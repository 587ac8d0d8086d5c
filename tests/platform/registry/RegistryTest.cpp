#include "platform/registry/Registry.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

#include "platform/registry/HiveNames.h"
#include "tests/platform/registry/RegistryTestSupport.h"

namespace quorvane::platform {
namespace {

using testing::TempHives;

class RegistryTest : public ::testing::Test {
 protected:
  TempHives hives;
  Registry registry{hives.locations};

  std::string MachineHive() const { return hives.locations.MachineHivePath(); }
};

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

// Counts rows with the sqlite3 library itself, outside the registry code.
long CountRows(const std::string& file, const char* sql) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* stmt = nullptr;
  long count = -1;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) {
    count = sqlite3_column_int64(stmt, 0);
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return count;
}

std::string RunCommand(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
  pclose(pipe);
  return output;
}

TEST_F(RegistryTest, ValuesComeBackByteExact) {
  const std::string withNul("a\0b", 3);
  const RegistryValue values[] = {
      RegistryValue::String(""),
      RegistryValue::String(withNul),
      RegistryValue::String("Grüße \xE2\x82\xAC \xF0\x9F\x93\xBA"),
      RegistryValue::Dword(0),
      RegistryValue::Dword(0xFFFFFFFFu),
      RegistryValue::Binary({}),
      RegistryValue::Binary({0x00, 0xFF, 0x10, 0x00}),
  };
  int n = 0;
  for (const auto& value : values) {
    const std::string name = "v" + std::to_string(n++);
    ASSERT_TRUE(registry.SetValue(Hive::CurrentUser, "SOFTWARE\\Test", name, value).ok()) << name;
  }
  n = 0;
  for (const auto& value : values) {
    const std::string name = "v" + std::to_string(n++);
    auto read = registry.GetValue(Hive::CurrentUser, "SOFTWARE\\Test", name);
    ASSERT_TRUE(read.ok()) << name;
    EXPECT_EQ(*read, value) << name;
  }
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
  ASSERT_TRUE(registry.SetValue(Hive::LocalMachine, "SOFTWARE\\Quorvane", "AppPath", RegistryValue::String("/a")).ok());
  ASSERT_TRUE(registry.SetValue(Hive::LocalMachine, "software\\QUORVANE", "APPPATH", RegistryValue::String("/b")).ok());

  auto key = registry.OpenKey(Hive::LocalMachine, "Software\\quorvane");
  ASSERT_TRUE(key.ok());
  EXPECT_EQ(key->path(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane");
  auto values = key->Values();
  ASSERT_TRUE(values.ok());
  ASSERT_EQ(values->size(), 1u);
  EXPECT_EQ((*values)[0].name, "AppPath");
  EXPECT_EQ((*values)[0].value.text, "/b");

  // Folding covers letters beyond ASCII.
  ASSERT_TRUE(registry.CreateKey(Hive::LocalMachine, "SOFTWARE\\ÄRGER").ok());
  EXPECT_TRUE(registry.OpenKey(Hive::LocalMachine, "software\\ärger").ok());
  EXPECT_EQ(CountRows(MachineHive(), "SELECT count(*) FROM keys WHERE parent <> 0"), 3);
}

TEST_F(RegistryTest, HklmAndHkcrAreSeparateRootsOfTheMachineHive) {
  ASSERT_TRUE(registry.SetValue(Hive::LocalMachine, ".tvpi", "", RegistryValue::String("machine")).ok());
  ASSERT_TRUE(registry.SetValue(Hive::ClassesRoot, ".tvpi", "", RegistryValue::String("classes")).ok());
  EXPECT_EQ(registry.GetValue(Hive::LocalMachine, ".tvpi", "")->text, "machine");
  EXPECT_EQ(registry.GetValue(Hive::ClassesRoot, ".TVPI", "")->text, "classes");
  EXPECT_FALSE(std::filesystem::exists(hives.locations.UserHivePath()));
}

TEST_F(RegistryTest, HkeyUsersReachesTheRunningUsersHive) {
  ASSERT_TRUE(
      registry.SetValue(Hive::CurrentUser, "SOFTWARE\\Quorvane\\Device", "Device", RegistryValue::String("Box")).ok());
  const std::string path = UserSid(geteuid()) + "\\software\\quorvane\\device";
  auto key = registry.OpenKey(Hive::Users, path);
  ASSERT_TRUE(key.ok());
  EXPECT_EQ(key->path(), "HKEY_USERS\\" + UserSid(geteuid()) + "\\SOFTWARE\\Quorvane\\Device");
  EXPECT_EQ(key->GetValue("Device")->text, "Box");

  EXPECT_FALSE(registry.OpenKey(Hive::Users, "").ok());
  EXPECT_FALSE(registry.OpenKey(Hive::Users, "S-1-5-21-1\\SOFTWARE").ok());
  EXPECT_FALSE(registry.OpenKey(Hive::Users, "S-1-22-1-x\\SOFTWARE").ok());
}

TEST_F(RegistryTest, ReadingMissingHivesCreatesNothing) {
  EXPECT_FALSE(registry.OpenKey(Hive::LocalMachine, "SOFTWARE").ok());
  EXPECT_FALSE(registry.GetValue(Hive::CurrentUser, "SOFTWARE", "x").ok());
  EXPECT_FALSE(registry.OpenKey(Hive::Users, UserSid(geteuid()) + "\\SOFTWARE").ok());
  EXPECT_TRUE(std::filesystem::is_empty(hives.folder.path()));
}

TEST_F(RegistryTest, NewHiveFilesGetFixedPermissionsWhateverTheUmask) {
  const mode_t previous = umask(0);
  ASSERT_TRUE(registry.CreateKey(Hive::LocalMachine, "SOFTWARE").ok());
  ASSERT_TRUE(registry.CreateKey(Hive::CurrentUser, "SOFTWARE").ok());
  umask(077);
  TempHives other;
  ASSERT_TRUE(Registry(other.locations).CreateKey(Hive::LocalMachine, "SOFTWARE").ok());
  umask(previous);

  EXPECT_EQ(ModeOf(MachineHive()), 0644u);
  EXPECT_EQ(ModeOf(hives.locations.machineDir + "/registry"), 0755u);
  EXPECT_EQ(ModeOf(hives.locations.machineDir), 0755u);
  EXPECT_EQ(ModeOf(hives.locations.UserHivePath()), 0600u);
  EXPECT_EQ(ModeOf(hives.locations.userConfigDir + "/quorvane/registry"), 0700u);
  EXPECT_EQ(ModeOf(other.locations.MachineHivePath()), 0644u);
}

TEST_F(RegistryTest, SubkeysEnumerateByNameIgnoringCase) {
  for (const char* name : {"gamma", "Beta", "alpha", "Delta", "beta2"}) {
    ASSERT_TRUE(registry.CreateKey(Hive::CurrentUser, std::string("Device\\") + name).ok());
  }
  auto key = registry.OpenKey(Hive::CurrentUser, "Device");
  ASSERT_TRUE(key.ok());
  EXPECT_EQ(*key->SubkeyCount(), 5u);
  const std::vector<std::string> expected{"alpha", "Beta", "beta2", "Delta", "gamma"};
  EXPECT_EQ(*key->SubkeyNames(), expected);
  for (std::uint32_t i = 0; i < expected.size(); ++i) EXPECT_EQ(*key->SubkeyName(i), expected[i]);
  EXPECT_FALSE(key->SubkeyName(5).ok());
}

TEST_F(RegistryTest, DeleteKeyRefusesSubkeysAndRootsWhileDeleteTreeLeavesNoRows) {
  ASSERT_TRUE(registry.SetValue(Hive::LocalMachine, "A\\B\\C", "v", RegistryValue::Dword(1)).ok());
  ASSERT_TRUE(registry.SetValue(Hive::LocalMachine, "A\\B", "w", RegistryValue::Dword(2)).ok());
  ASSERT_TRUE(registry.SetValue(Hive::LocalMachine, "Other", "keep", RegistryValue::Dword(3)).ok());

  EXPECT_FALSE(registry.DeleteKey(Hive::LocalMachine, "A\\B").ok());
  EXPECT_TRUE(registry.OpenKey(Hive::LocalMachine, "A\\B\\C").ok());
  EXPECT_FALSE(registry.DeleteKey(Hive::LocalMachine, "").ok());
  EXPECT_FALSE(registry.DeleteTree(Hive::LocalMachine, "\\").ok());

  EXPECT_TRUE(registry.DeleteTree(Hive::LocalMachine, "a").ok());
  EXPECT_FALSE(registry.OpenKey(Hive::LocalMachine, "A").ok());
  EXPECT_EQ(CountRows(MachineHive(), "SELECT count(*) FROM key_values"), 1);
  EXPECT_EQ(CountRows(MachineHive(), "SELECT count(*) FROM keys WHERE parent <> 0"), 1);
}

TEST_F(RegistryTest, HandleOfADeletedKeyWritesNothing) {
  auto stale = registry.CreateKey(Hive::CurrentUser, "Gone");
  ASSERT_TRUE(stale.ok());
  ASSERT_TRUE(registry.DeleteKey(Hive::CurrentUser, "Gone").ok());
  ASSERT_TRUE(registry.CreateKey(Hive::CurrentUser, "Gone").ok());

  EXPECT_FALSE(stale->SetValue("v", RegistryValue::Dword(1)).ok());
  EXPECT_FALSE(stale->CreateSubkey("child").ok());
  EXPECT_FALSE(registry.GetValue(Hive::CurrentUser, "Gone", "v").ok());
  EXPECT_EQ(CountRows(hives.locations.UserHivePath(), "SELECT count(*) FROM key_values"), 0);
}

TEST_F(RegistryTest, InvalidNamesAreRefused) {
  EXPECT_FALSE(registry.CreateKey(Hive::CurrentUser, std::string(256, 'k')).ok());
  EXPECT_TRUE(registry.CreateKey(Hive::CurrentUser, std::string(255, 'k')).ok());
  EXPECT_FALSE(registry.SetValue(Hive::CurrentUser, "K", std::string("a\0b", 3), RegistryValue::Dword(1)).ok());
  auto key = registry.OpenKey(Hive::CurrentUser, "", KeyAccess::Read);
  ASSERT_TRUE(key.ok());
  EXPECT_FALSE(key->SetValue("x", RegistryValue::Dword(1)).ok()) << "a key opened for reading is not written";
}

TEST_F(RegistryTest, TransactionChangesAppearTogetherOrNotAtAll) {
  {
    auto transaction = registry.BeginTransaction(Hive::LocalMachine, "");
    ASSERT_TRUE(transaction.ok());
    auto key = transaction->CreateKey(Hive::ClassesRoot, ".tvpi");
    ASSERT_TRUE(key.ok());
    ASSERT_TRUE(key->SetValue("", RegistryValue::String("TitanTV")).ok());
    EXPECT_FALSE(transaction->CreateKey(Hive::CurrentUser, "X").ok()) << "another hive file";
    // Dropped without Commit.
  }
  EXPECT_FALSE(registry.OpenKey(Hive::ClassesRoot, ".tvpi").ok());

  auto transaction = registry.BeginTransaction(Hive::ClassesRoot, "");
  ASSERT_TRUE(transaction.ok());
  auto key = transaction->CreateKey(Hive::ClassesRoot, ".tvpi");
  ASSERT_TRUE(key.ok());
  ASSERT_TRUE(key->SetValue("", RegistryValue::String("TitanTV")).ok());
  // A failed step inside the transaction undoes only itself.
  EXPECT_FALSE(transaction->DeleteTree(Hive::LocalMachine, "Missing").ok());
  ASSERT_TRUE(transaction->CreateKey(Hive::LocalMachine, "SOFTWARE\\Quorvane").ok());
  ASSERT_TRUE(transaction->Commit().ok());
  EXPECT_EQ(registry.GetValue(Hive::ClassesRoot, ".tvpi", "")->text, "TitanTV");
  EXPECT_TRUE(registry.OpenKey(Hive::LocalMachine, "SOFTWARE\\Quorvane").ok());
}

TEST_F(RegistryTest, AHiveWithoutWriteRightsOpensForReadingOnly) {
  ASSERT_TRUE(registry.SetValue(Hive::LocalMachine, "SOFTWARE\\Quorvane", "AppPath", RegistryValue::String("/x")).ok());
  const int result = testing::RunWithoutMachineWriteRights(hives, [&] {
    const Registry other(hives.locations);
    if (other.OpenKey(Hive::LocalMachine, "SOFTWARE\\Quorvane", KeyAccess::Write)) return 1;
    if (other.SetValue(Hive::LocalMachine, "SOFTWARE\\Quorvane", "AppPath", RegistryValue::String("/y"))) return 2;
    if (other.CreateKey(Hive::ClassesRoot, ".tvpi")) return 3;
    if (other.DeleteTree(Hive::LocalMachine, "SOFTWARE")) return 4;
    auto read = other.GetValue(Hive::LocalMachine, "SOFTWARE\\quorvane", "apppath");
    if (!read || read->text != "/x") return 5;
    return 0;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(registry.GetValue(Hive::LocalMachine, "SOFTWARE\\Quorvane", "AppPath")->text, "/x");
  EXPECT_FALSE(std::filesystem::exists(MachineHive() + "-journal"));
}

TEST_F(RegistryTest, TheSqliteShellOpensAHiveFile) {
  ASSERT_TRUE(
      registry.SetValue(Hive::LocalMachine, "SOFTWARE\\Quorvane", "AppPath", RegistryValue::String("/usr/bin")).ok());
  const std::string quoted = "'" + MachineHive() + "'";
  const std::string tables = RunCommand("sqlite3 " + quoted + " .tables 2>&1");
  EXPECT_NE(tables.find("keys"), std::string::npos) << tables;
  EXPECT_NE(tables.find("key_values"), std::string::npos) << tables;
  EXPECT_EQ(RunCommand("sqlite3 " + quoted + " \"SELECT data FROM key_values WHERE folded = 'apppath'\" 2>&1"),
            "/usr/bin\n");
}

TEST(HiveNamesTest, RootsAndSids) {
  EXPECT_EQ(ParseRootKeyName("hklm"), Hive::LocalMachine);
  EXPECT_EQ(ParseRootKeyName("HKEY_Classes_Root"), Hive::ClassesRoot);
  EXPECT_EQ(ParseRootKeyName("HKU"), Hive::Users);
  EXPECT_FALSE(ParseRootKeyName("HKCC"));
  auto full = ParseFullKeyPath("HKCU\\Software\\Quorvane\\");
  ASSERT_TRUE(full.ok());
  EXPECT_EQ(full->hive, Hive::CurrentUser);
  EXPECT_EQ(full->path, "Software\\Quorvane");
  EXPECT_FALSE(ParseFullKeyPath("HKEY_FOO\\x").ok());

  EXPECT_EQ(UserSid(1000), "S-1-22-1-1000");
  EXPECT_EQ(ParseUserSid("s-1-22-1-1000"), uid_t{1000});
  for (const char* bad : {"S-1-22-1-", "S-1-22-1-01", "S-1-22-1-12a", "S-1-22-2-5", "S-1-22-1-99999999999"}) {
    EXPECT_FALSE(ParseUserSid(bad)) << bad;
  }
}

}  // namespace
}  // namespace quorvane::platform
