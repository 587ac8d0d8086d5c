#include "common/lang/LanguageSelection.h"

#include <set>

#include "LanguageFixture.h"
#include "common/lang/LanguageCodes.h"

namespace quorvane {
namespace {

using LanguageSelectionTest = LanguageFixture;

TEST_F(LanguageSelectionTest, SchedulerStartTakesTheMappedCodeWhenItsFileExists) {
  SetLangPath(langFolder_);
  MapCountry("0407", "rcger");
  MapCountry("Default", "rceng");
  WriteLanguageFile("rcger", "[LAB]\n");
  EXPECT_EQ(SelectLanguageAtSchedulerStart(store(), "0407"), "rcger");
  EXPECT_EQ(Language(), "rcger");
}

TEST_F(LanguageSelectionTest, SchedulerStartFallsBackToTheMapDefault) {
  SetLangPath(langFolder_);
  MapCountry("0407", "rcger");  // no rcger.lng
  MapCountry("Default", "rceng");
  EXPECT_EQ(SelectLanguageAtSchedulerStart(store(), "0407"), "rceng");
  EXPECT_EQ(Language(), "rceng");

  // An unmapped id gives "rcenu", whose missing file also leads to Default.
  EXPECT_EQ(SelectLanguageAtSchedulerStart(store(), "0411"), "rceng");
}

TEST_F(LanguageSelectionTest, SchedulerStartWithoutMapOrDefault) {
  SetLangPath(langFolder_);
  SetLanguage("rcfre");
  EXPECT_EQ(SelectLanguageAtSchedulerStart(store(), "0407"), "rcenu");
  EXPECT_EQ(Language(), "rcenu");
  WriteLanguageFile("rcenu", "[LAB]\n");
  MapCountry("0407", "");  // empty counts as unmapped
  EXPECT_EQ(SelectLanguageAtSchedulerStart(store(), "0407"), "rcenu");
}

TEST_F(LanguageSelectionTest, UnknownCodeKeptByStartButNotByTray) {
  SetLangPath(langFolder_);
  MapCountry("0413", "rcdut");
  WriteLanguageFile("rcdut", "[LAB]\n");
  EXPECT_EQ(SelectLanguageAtSchedulerStart(store(), "0413"), "rcdut");
  EXPECT_EQ(Language(), "rcdut");

  ASSERT_TRUE(store().DeleteValue(Hive::CurrentUser, lang_keys::kSchedulerKey, "Language"));
  EXPECT_EQ(InitializeLanguageForTray(store(), "0413"), "rcenu");
  EXPECT_EQ(Language(), "rcenu");
}

TEST_F(LanguageSelectionTest, TrayActsOnlyWhenLanguageIsAbsent) {
  MapCountry("0407", "rcger");
  SetLanguage("rcfre");
  EXPECT_EQ(InitializeLanguageForTray(store(), "0407"), std::nullopt);
  EXPECT_EQ(Language(), "rcfre");

  SetLanguage("");  // empty is the same as absent
  EXPECT_EQ(InitializeLanguageForTray(store(), "0407"), "rcger");  // no file check
  EXPECT_EQ(Language(), "rcger");
}

TEST_F(LanguageSelectionTest, EveryKnownCodeSurvivesTheTray) {
  std::set<std::string_view> seen;
  for (const auto code : kKnownLanguageCodes) {
    EXPECT_EQ(code.size(), 5u);
    EXPECT_EQ(code.substr(0, 2), "rc");
    EXPECT_TRUE(seen.insert(code).second) << code;
    EXPECT_TRUE(IsKnownLanguageCode(code));

    ASSERT_TRUE(store().DeleteValue(Hive::CurrentUser, lang_keys::kSchedulerKey, "Language") || !Language());
    MapCountry("0409", code);
    EXPECT_EQ(InitializeLanguageForTray(store(), "0409"), std::string(code));
  }
  EXPECT_EQ(seen.size(), 12u);
  EXPECT_TRUE(IsKnownLanguageCode(kDefaultLanguageCode));
  EXPECT_FALSE(IsKnownLanguageCode("RCENU"));
  EXPECT_FALSE(IsKnownLanguageCode("rcdut"));
}

}  // namespace
}  // namespace quorvane
