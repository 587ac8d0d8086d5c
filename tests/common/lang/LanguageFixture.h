#pragma once
// Temporary hives and a language folder per test.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "common/lang/LanguageKeys.h"
#include "common/settings/SettingsStore.h"

namespace quorvane {

class LanguageFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "lang-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    langFolder_ = (root_ / "TeskTV").string();
    std::filesystem::create_directories(langFolder_);
    platform::RegistryLocations locations;
    locations.machineDir = (root_ / "machine").string();
    locations.userConfigDir = (root_ / "config").string();
    store_.emplace(locations);
  }
  void TearDown() override {
    store_.reset();
    std::filesystem::remove_all(root_);
  }

  const SettingsStore& store() const { return *store_; }

  void SetLangPath(std::string_view path) {
    ASSERT_TRUE(store().WriteString(Hive::LocalMachine, lang_keys::kSchedulerKey, "LangPath", path));
  }
  void SetLanguage(std::string_view code) {
    ASSERT_TRUE(store().WriteString(Hive::CurrentUser, lang_keys::kSchedulerKey, "Language", code));
  }
  std::optional<std::string> Language() const {
    return store().ReadString(Hive::CurrentUser, lang_keys::kSchedulerKey, "Language");
  }
  void MapCountry(std::string_view name, std::string_view code) {
    ASSERT_TRUE(store().WriteString(Hive::LocalMachine, lang_keys::kCountryKey, name, code));
  }
  void WriteLanguageFile(std::string_view code, std::string_view text) {
    std::ofstream(langFolder_ + "/" + std::string(code) + ".lng", std::ios::binary) << text;
  }

  std::filesystem::path root_;
  std::string langFolder_;
  std::optional<SettingsStore> store_;
};

}  // namespace quorvane
