#include "platform/locale/UserLocale.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>
#include <optional>
#include <string>

namespace quorvane::platform {
namespace {

TEST(LanguageIdTest, MapsPosixLocalesToWindowsIds) {
  struct Case {
    const char* locale;
    const char* id;
  };
  const Case cases[] = {
      {"en_US", "0409"},          {"en_US.UTF-8", "0409"},   {"de_DE.UTF-8", "0407"},
      {"de_DE@euro", "0407"},     {"de_AT.utf8", "0C07"},    {"de_CH", "0807"},
      {"en_GB.UTF-8", "0809"},    {"fr_FR", "040C"},         {"fr_CA.UTF-8", "0C0C"},
      {"es_ES", "0C0A"},          {"es_MX", "080A"},         {"it_IT", "0410"},
      {"pt_BR", "0416"},          {"pt_PT", "0816"},         {"ru_RU.KOI8-R", "0419"},
      {"el_GR", "0408"},          {"zh_TW.UTF-8", "0404"},   {"zh_CN.GB18030", "0804"},
      {"ja_JP.eucJP", "0411"},    {"ko_KR", "0412"},         {"sr_RS@latin", "241A"},
      {"ca_ES@valencia", "0803"},
      // A language alone takes its most likely country.
      {"de", "0407"},             {"fr", "040C"},            {"zh", "0804"},
      // Portable and unknown locales are US English.
      {"C", "0409"},              {"POSIX", "0409"},         {"C.UTF-8", "0409"},
      {"", "0409"},               {"xx_YY", "0409"},         {"eo", "0409"},
  };
  for (const auto& c : cases) EXPECT_EQ(LanguageIdForLocale(c.locale), c.id) << c.locale;
}

TEST(DatePatternTest, ShortPatternsFromIcu) {
  EXPECT_EQ(ShortDatePatternForLocale("en_US.UTF-8"), "M/d/yy");
  EXPECT_EQ(ShortDatePatternForLocale("de_DE.UTF-8"), "dd.MM.yy");
  EXPECT_EQ(ShortDatePatternForLocale("C"), "M/d/yy");
}

class LocaleEnvironmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kNames) {
      const char* value = std::getenv(name);
      saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
      ::unsetenv(name);
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
  }
  static constexpr const char* kNames[] = {"LC_ALL", "LC_MESSAGES", "LC_TIME", "LANG"};
  std::map<std::string, std::optional<std::string>> saved_;
};

TEST_F(LocaleEnvironmentTest, FirstNonEmptyVariableWins) {
  EXPECT_EQ(UserDefaultLanguageId(), "0409");  // nothing set

  ::setenv("LANG", "fr_FR.UTF-8", 1);
  EXPECT_EQ(UserDefaultLanguageId(), "040C");
  ::setenv("LC_MESSAGES", "de_DE.UTF-8", 1);
  EXPECT_EQ(UserDefaultLanguageId(), "0407");
  ::setenv("LC_ALL", "", 1);  // empty is skipped
  EXPECT_EQ(UserDefaultLanguageId(), "0407");
  ::setenv("LC_ALL", "it_IT.UTF-8", 1);
  EXPECT_EQ(UserDefaultLanguageId(), "0410");
  ::setenv("LC_ALL", "C", 1);
  EXPECT_EQ(UserDefaultLanguageId(), "0409");
}

TEST_F(LocaleEnvironmentTest, DatePatternFollowsTheTimeCategory) {
  ::setenv("LANG", "en_US.UTF-8", 1);
  ::setenv("LC_MESSAGES", "en_US.UTF-8", 1);
  ::setenv("LC_TIME", "de_DE.UTF-8", 1);
  EXPECT_EQ(UserShortDatePattern(), "dd.MM.yy");
  EXPECT_EQ(UserDefaultLanguageId(), "0409");
}

}  // namespace
}  // namespace quorvane::platform
