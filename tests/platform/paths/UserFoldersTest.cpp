#include "platform/paths/UserFolders.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

namespace quorvane::platform {
namespace {

class UserFoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DOCUMENTS_DIR"}) {
      const char* value = std::getenv(name);
      saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
      ::unsetenv(name);
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "paths-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    home_ = pattern;
    ::setenv("HOME", home_.c_str(), 1);
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
    std::filesystem::remove_all(home_);
  }
  void WriteUserDirs(const std::string& configHome, const std::string& text) {
    std::filesystem::create_directories(configHome);
    std::ofstream(configHome + "/user-dirs.dirs") << text;
  }

  std::map<std::string, std::optional<std::string>> saved_;
  std::string home_;
};

TEST_F(UserFoldersTest, DefaultsLieBelowHome) {
  EXPECT_EQ(*HomeFolder(), home_);
  EXPECT_EQ(*LocalAppDataFolder(), home_ + "/.local/share");
  EXPECT_EQ(*ConfigHomeFolder(), home_ + "/.config");
  EXPECT_EQ(*DocumentsFolder(), home_ + "/Documents");
}

TEST_F(UserFoldersTest, AbsoluteVariablesWinRelativeOnesAreIgnored) {
  ::setenv("XDG_DATA_HOME", "/srv/data", 1);
  ::setenv("XDG_CONFIG_HOME", "/srv/config", 1);
  ::setenv("XDG_DOCUMENTS_DIR", "/srv/docs", 1);
  EXPECT_EQ(*LocalAppDataFolder(), "/srv/data");
  EXPECT_EQ(*ConfigHomeFolder(), "/srv/config");
  EXPECT_EQ(*DocumentsFolder(), "/srv/docs");

  ::setenv("XDG_DATA_HOME", "relative/data", 1);
  ::setenv("XDG_CONFIG_HOME", "", 1);
  ::setenv("XDG_DOCUMENTS_DIR", "docs", 1);
  EXPECT_EQ(*LocalAppDataFolder(), home_ + "/.local/share");
  EXPECT_EQ(*ConfigHomeFolder(), home_ + "/.config");
  EXPECT_EQ(*DocumentsFolder(), home_ + "/Documents");
}

TEST_F(UserFoldersTest, DocumentsFromUserDirsFile) {
  const std::string config = home_ + "/cfg";
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  struct Case {
    std::string text, expected;
  };
  const Case cases[] = {
      {"# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", home_ + "/Dokumente"},
      {"XDG_DOCUMENTS_DIR=\"/data/My\\ Docs\"\n", "/data/My Docs"},
      {"XDG_DOCUMENTS_DIR=\"$HOME/\"\n", home_},            // switched off: home stands in
      {"XDG_DOCUMENTS_DIR=\"relative/docs\"\n", home_ + "/Documents"},
      {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n", home_ + "/Documents"},
  };
  for (const auto& c : cases) {
    WriteUserDirs(config, c.text);
    EXPECT_EQ(*DocumentsFolder(), c.expected) << c.text;
  }
}

TEST_F(UserFoldersTest, WithoutHomeVariableUsesTheAccount) {
  ::unsetenv("HOME");
  const struct passwd* account = ::getpwuid(::getuid());
  if (account == nullptr || account->pw_dir == nullptr || account->pw_dir[0] != '/') {
    EXPECT_FALSE(HomeFolder().ok());
    return;
  }
  const auto home = HomeFolder();
  ASSERT_TRUE(home.ok()) << home.error().message;
  EXPECT_EQ(*home, account->pw_dir);
}

}  // namespace
}  // namespace quorvane::platform
