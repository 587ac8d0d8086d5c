#include "common/settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/registry/HiveNames.h"
#include "tests/platform/registry/RegistryTestSupport.h"

namespace quorvane {
namespace {

constexpr std::string_view kScheduler = "SOFTWARE\\Quorvane\\Velmora Scheduler";

class SettingsStoreTest : public ::testing::Test {
 protected:
  testing::TempHives hives;
  SettingsStore store{hives.locations};
};

std::string Repeat(std::string_view piece, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

TEST_F(SettingsStoreTest, PathsAndNamesIgnoreCaseButKeepTheCaseOfCreation) {
  ASSERT_TRUE(store.WriteString(Hive::CurrentUser, kScheduler, "Language", "rcger"));
  EXPECT_EQ(store.ReadString(Hive::CurrentUser, "software\\QUORVANE\\velmora scheduler", "LANGUAGE"), "rcger");

  ASSERT_TRUE(store.WriteString(Hive::CurrentUser, "SOFTWARE\\QUORVANE\\VELMORA SCHEDULER", "language", "rcfre"));
  EXPECT_EQ(store.CountSubkeys(Hive::CurrentUser, "SOFTWARE\\Quorvane"), 1u);
  EXPECT_EQ(store.EnumerateSubkeys(Hive::CurrentUser, "software\\quorvane", 0), "Velmora Scheduler");
  EXPECT_EQ(store.ReadString(Hive::CurrentUser, kScheduler, "Language"), "rcfre");
}

TEST_F(SettingsStoreTest, TextLongerThanTheBufferReadsAsAbsent) {
  // 260 units with the terminator: 259 units of text is the most that fits.
  struct Case {
    const char* what;
    std::string text;
    bool readable;
  };
  const Case cases[] = {
      {"259 ASCII", std::string(259, 'a'), true},
      {"260 ASCII", std::string(260, 'a'), false},
      {"258 ASCII + e-acute (2 bytes, 1 unit)", std::string(258, 'a') + "\xC3\xA9", true},
      {"259 CJK (3 bytes, 1 unit each)", Repeat("\xE6\x97\xA5", 259), true},
      {"260 CJK", Repeat("\xE6\x97\xA5", 260), false},
      {"129 emoji (2 units each) + 1", Repeat("\xF0\x9F\x93\xBA", 129) + "a", true},
      {"130 emoji", Repeat("\xF0\x9F\x93\xBA", 130), false},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(store.WriteString(Hive::LocalMachine, "SOFTWARE\\Quorvane", "DBPath", c.text)) << c.what;
    const auto read = store.ReadString(Hive::LocalMachine, "SOFTWARE\\Quorvane", "DBPath");
    if (c.readable) {
      EXPECT_EQ(read, c.text) << c.what;
    } else {
      EXPECT_FALSE(read) << c.what;
      EXPECT_EQ(store.ReadStringWithDefault(Hive::LocalMachine, "SOFTWARE\\Quorvane", "DBPath", "dflt"), "dflt")
          << c.what;
    }
  }
}

TEST_F(SettingsStoreTest, AbsentAndEmptyTextBothGiveTheDefault) {
  EXPECT_EQ(store.ReadStringWithDefault(Hive::CurrentUser, kScheduler, "Language", "rcenu"), "rcenu");
  ASSERT_TRUE(store.WriteString(Hive::CurrentUser, kScheduler, "Language", ""));
  EXPECT_EQ(store.ReadString(Hive::CurrentUser, kScheduler, "Language"), "");
  EXPECT_EQ(store.ReadStringWithDefault(Hive::CurrentUser, kScheduler, "Language", "rcenu"), "rcenu");
  ASSERT_TRUE(store.WriteString(Hive::CurrentUser, kScheduler, "Language", "rcita"));
  EXPECT_EQ(store.ReadStringWithDefault(Hive::CurrentUser, kScheduler, "Language", "rcenu"), "rcita");
}

TEST_F(SettingsStoreTest, ReadStringUserFirstFallsBackOnAbsentOrEmpty) {
  constexpr std::string_view kIepg = "SOFTWARE\\Quorvane\\Common\\IEPG";
  struct Case {
    std::optional<std::string> user;
    std::optional<std::string> machine;
    std::string expected;
  };
  const Case cases[] = {
      {std::nullopt, std::nullopt, "dflt"}, {"", std::nullopt, "dflt"}, {"", "", "dflt"},
      {std::nullopt, "/m/", "/m/"},         {"", "/m/", "/m/"},         {"/u/", "/m/", "/u/"},
      {"/u/", std::nullopt, "/u/"},
  };
  for (const auto& c : cases) {
    store.DeleteValue(Hive::CurrentUser, kIepg, "Data Path");
    store.DeleteValue(Hive::LocalMachine, kIepg, "Data Path");
    if (c.user) {
      ASSERT_TRUE(store.WriteString(Hive::CurrentUser, kIepg, "Data Path", *c.user));
    }
    if (c.machine) {
      ASSERT_TRUE(store.WriteString(Hive::LocalMachine, kIepg, "Data Path", *c.machine));
    }
    EXPECT_EQ(store.ReadStringUserFirst(kIepg, "Data Path", "dflt"), c.expected)
        << c.user.value_or("<absent>") << " / " << c.machine.value_or("<absent>");
  }
}

TEST_F(SettingsStoreTest, AValueOfAnotherTypeReadsAsAbsent) {
  ASSERT_TRUE(store.WriteString(Hive::CurrentUser, "K", "text", "10"));
  ASSERT_TRUE(store.WriteDword(Hive::CurrentUser, "K", "number", 10));
  ASSERT_TRUE(store.WriteBinary(Hive::CurrentUser, "K", "bytes", {0x0A, 0, 0, 0}));
  EXPECT_FALSE(store.ReadDword(Hive::CurrentUser, "K", "text"));
  EXPECT_FALSE(store.ReadDword(Hive::CurrentUser, "K", "bytes"));
  EXPECT_FALSE(store.ReadString(Hive::CurrentUser, "K", "number"));
  EXPECT_FALSE(store.ReadBinary(Hive::CurrentUser, "K", "number"));
  EXPECT_EQ(store.ReadDword(Hive::CurrentUser, "K", "number"), 10u);
  EXPECT_EQ(store.ReadBinary(Hive::CurrentUser, "K", "bytes"), (std::vector<std::uint8_t>{0x0A, 0, 0, 0}));
}

TEST_F(SettingsStoreTest, EnsureKeyCreatesParentsAndWritesCreateTheirKey) {
  EXPECT_FALSE(store.KeyExists(Hive::LocalMachine, "SOFTWARE\\Velmora Plug-in"));
  ASSERT_TRUE(store.EnsureKey(Hive::LocalMachine, "SOFTWARE\\Velmora Plug-in\\Device"));
  EXPECT_TRUE(store.KeyExists(Hive::LocalMachine, "SOFTWARE"));
  EXPECT_TRUE(store.KeyExists(Hive::LocalMachine, "SOFTWARE\\Velmora Plug-in"));
  ASSERT_TRUE(store.EnsureKey(Hive::LocalMachine, "software\\velmora plug-in\\device"));
  EXPECT_EQ(store.CountSubkeys(Hive::LocalMachine, "SOFTWARE\\Velmora Plug-in"), 1u);

  ASSERT_TRUE(store.WriteDword(Hive::CurrentUser, "SOFTWARE\\Quorvane\\Velmora Scheduler\\ScheduleMonitor",
                               "WindowPosLeft", 10));
  EXPECT_TRUE(store.KeyExists(Hive::CurrentUser, "SOFTWARE\\Quorvane"));
}

TEST_F(SettingsStoreTest, SubkeysEnumerateByIndexInNameOrderIgnoringCase) {
  for (const char* name : {"Satellite", "cable", "Antenna", "box 2", "Box 10"}) {
    ASSERT_TRUE(store.EnsureKey(Hive::CurrentUser, std::string("SOFTWARE\\Quorvane\\Device\\") + name));
  }
  const char* expected[] = {"Antenna", "Box 10", "box 2", "cable", "Satellite"};
  for (std::uint32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(store.EnumerateSubkeys(Hive::CurrentUser, "SOFTWARE\\Quorvane\\Device", i), expected[i]);
  }
  EXPECT_FALSE(store.EnumerateSubkeys(Hive::CurrentUser, "SOFTWARE\\Quorvane\\Device", 5));
  EXPECT_FALSE(store.EnumerateSubkeys(Hive::CurrentUser, "SOFTWARE\\Missing", 0));
  EXPECT_EQ(store.CountSubkeys(Hive::CurrentUser, "SOFTWARE\\Quorvane\\Device"), 5u);
}

TEST_F(SettingsStoreTest, DeleteKeyOnlyRemovesAKeyWithoutSubkeys) {
  ASSERT_TRUE(store.WriteDword(Hive::CurrentUser, "SOFTWARE\\Quorvane\\Device\\Cable", "Digital", 1));
  EXPECT_FALSE(store.DeleteKey(Hive::CurrentUser, "SOFTWARE\\Quorvane\\Device"));
  EXPECT_EQ(store.ReadDword(Hive::CurrentUser, "SOFTWARE\\Quorvane\\Device\\Cable", "Digital"), 1u);
  EXPECT_TRUE(store.DeleteKey(Hive::CurrentUser, "SOFTWARE\\Quorvane\\Device\\CABLE"));
  EXPECT_FALSE(store.KeyExists(Hive::CurrentUser, "SOFTWARE\\Quorvane\\Device\\Cable"));
  EXPECT_TRUE(store.DeleteKey(Hive::CurrentUser, "SOFTWARE\\Quorvane\\Device"));
  EXPECT_FALSE(store.DeleteKey(Hive::CurrentUser, "SOFTWARE\\Quorvane\\Device"));
}

TEST_F(SettingsStoreTest, ReadsOfMissingHivesAreAbsentAndCreateNoFile) {
  EXPECT_FALSE(store.ReadString(Hive::LocalMachine, "SOFTWARE\\Quorvane", "AppPath"));
  EXPECT_FALSE(store.ReadDword(Hive::CurrentUser, "SOFTWARE\\Quorvane\\Device", "Count"));
  EXPECT_FALSE(store.KeyExists(Hive::ClassesRoot, ".tvpi"));
  EXPECT_FALSE(store.CountSubkeys(Hive::CurrentUser, "SOFTWARE"));
  EXPECT_FALSE(store.ReadString(Hive::Users, platform::UserSid(geteuid()) + "\\SOFTWARE\\Quorvane\\Device", "Device"));
  EXPECT_EQ(store.ReadStringWithDefault(Hive::LocalMachine, kScheduler, "LangPath", "C:\\TeskTV"), "C:\\TeskTV");
  EXPECT_TRUE(std::filesystem::is_empty(hives.folder.path()));
}

TEST_F(SettingsStoreTest, WritesWithoutMachineRightsGiveFalse) {
  ASSERT_TRUE(store.WriteString(Hive::LocalMachine, "SOFTWARE\\Quorvane", "AppPath", "/opt/bin"));
  const int result = testing::RunWithoutMachineWriteRights(hives, [&] {
    const SettingsStore other(hives.locations);
    if (other.WriteString(Hive::LocalMachine, "SOFTWARE\\Quorvane", "AppPath", "/evil")) return 1;
    if (other.EnsureKey(Hive::LocalMachine, "SOFTWARE\\Quorvane\\Device")) return 2;
    if (other.DeleteValue(Hive::LocalMachine, "SOFTWARE\\Quorvane", "AppPath")) return 3;
    if (other.ReadString(Hive::LocalMachine, "SOFTWARE\\Quorvane", "AppPath") != "/opt/bin") return 4;
    if (!other.WriteString(Hive::CurrentUser, "SOFTWARE\\Quorvane", "MsgBox", "false")) return 5;
    return 0;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(store.ReadString(Hive::LocalMachine, "SOFTWARE\\Quorvane", "AppPath"), "/opt/bin");
  EXPECT_FALSE(store.KeyExists(Hive::LocalMachine, "SOFTWARE\\Quorvane\\Device"));
}

}  // namespace
}  // namespace quorvane
