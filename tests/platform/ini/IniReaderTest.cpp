#include "platform/ini/IniReader.h"

#include <climits>
#include <optional>

#include "IniTestFolder.h"

namespace quorvane::platform {
namespace {

constexpr std::string_view kFile =
    "; language file\n"
    "  [LAB]  \n"
    "LAB_YES=Yes\n"
    "  lab_no   =   No  \n"
    "LAB_EMPTY=\n"
    "LAB_QUOTED=\"  spaced  \"\n"
    "LAB_SINGLE='single'\n"
    "LAB_HALF=\"open\n"
    "LAB_MIXED=\"mixed'\n"
    "LAB_TWICE=\"\"inner\"\"\n"
    "LAB_SEMI=a ; not a comment\n"
    "LAB_EQUALS=a=b\n"
    "LAB_YES=second\n"
    "no equals sign here\n"
    ";LAB_COMMENTED=hidden\n"
    "LAB WITH SPACE = inner space\n"
    "[WARN]\r\n"
    "WARN_ONE=warn one\r\n"
    "LAB_OK=wrong section\r\n"
    "[lab]\n"
    "LAB_OK=OK\n"
    "LAB_NO=not the first\n"
    "[MSG\n"
    "MSG_OPEN=header without bracket\n";

TEST(FindIniValueTest, FollowsTheProfileRules) {
  struct Case {
    std::string_view section, key;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"LAB", "LAB_YES", "Yes"},              // first of two entries
      {"lab", "Lab_Yes", "Yes"},              // names ignore case
      {"LAB", "LAB_NO", "No"},                // blanks around name and text dropped
      {"LAB", "LAB_EMPTY", ""},               // present but empty
      {"LAB", "LAB_QUOTED", "  spaced  "},    // quotes stripped, inner blanks kept
      {"LAB", "LAB_SINGLE", "single"},
      {"LAB", "LAB_HALF", "\"open"},          // unmatched quote stays
      {"LAB", "LAB_MIXED", "\"mixed'"},
      {"LAB", "LAB_TWICE", "\"inner\""},      // one pair only
      {"LAB", "LAB_SEMI", "a ; not a comment"},
      {"LAB", "LAB_EQUALS", "a=b"},
      {"LAB", "no equals sign here", std::nullopt},
      {"LAB", "LAB_COMMENTED", std::nullopt},
      {"LAB", "LAB WITH SPACE", "inner space"},
      {"WARN", "WARN_ONE", "warn one"},       // CRLF line ends
      {"LAB", "LAB_OK", "OK"},                // later section of the same name
      {"WARN", "LAB_OK", "wrong section"},
      {"MSG", "MSG_OPEN", "header without bracket"},
      {"LAB", "LAB_MISSING", std::nullopt},
      {"NOPE", "LAB_YES", std::nullopt},
      {"LAB", "", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindIniValue(kFile, c.section, c.key), c.expected) << c.section << "/" << c.key;
  }
}

TEST(FindIniValueTest, EntriesBeforeAnySectionAreUnreachable) {
  EXPECT_EQ(FindIniValue("KEY=1\n[S]\nOTHER=2\n", "", "KEY"), std::nullopt);
  EXPECT_EQ(FindIniValue("KEY=1\n[S]\nOTHER=2\n", "S", "KEY"), std::nullopt);
}

TEST(FindIniValueTest, NonAsciiNamesFoldCase) {
  EXPECT_EQ(FindIniValue("[ÜBER]\nSCHLÜSSEL=wert\n", "über", "schlüssel"), "wert");
}

TEST(ParseIniIntTest, TakesLeadingDigits) {
  struct Case {
    std::string_view text;
    int expected;
  };
  const Case cases[] = {
      {"20480", 20480}, {"  12abc", 12}, {"abc", 0},      {"", 77},         {"   ", 77},
      {"-3", -3},       {"+7", 7},       {"0x10", 0},     {"99999999999", INT_MAX},
      {"-99999999999", INT_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseIniInt(c.text, 77), c.expected) << c.text;
}

using IniFileTest = IniTestFolder;

TEST_F(IniFileTest, ReadsAFileAnewOnEveryCall) {
  const std::string path = Write("a.ini", "[DEBUG]\nLLEVEL=2\n");
  EXPECT_EQ(ReadIniString(path, "debug", "llevel"), "2");
  EXPECT_EQ(ReadIniInt(path, "DEBUG", "LLEVEL", 1), 2);
  Write("a.ini", "[DEBUG]\nLLEVEL=4\n");
  EXPECT_EQ(ReadIniInt(path, "DEBUG", "LLEVEL", 1), 4);
}

TEST_F(IniFileTest, UnreadableFilesGiveNothing) {
  EXPECT_EQ(ReadIniString(Path("missing.ini"), "A", "B"), std::nullopt);
  EXPECT_EQ(ReadIniInt(Path("missing.ini"), "A", "B", 5), 5);
  // A folder where a file is expected: the default applies.
  EXPECT_EQ(ReadIniString(folder_.string(), "A", "B"), std::nullopt);
  EXPECT_EQ(ReadIniInt(folder_.string(), "A", "B", 9), 9);
}

TEST_F(IniFileTest, MissingOrEmptyEntryGivesIntDefault) {
  const std::string path = Write("n.ini", "[DEBUG]\nTYPE=\nLSIZE=abc\n");
  EXPECT_EQ(ReadIniInt(path, "DEBUG", "TYPE", 1), 1);
  EXPECT_EQ(ReadIniInt(path, "DEBUG", "LNUM", 1), 1);
  EXPECT_EQ(ReadIniInt(path, "DEBUG", "LSIZE", 20480), 0);
}

}  // namespace
}  // namespace quorvane::platform
