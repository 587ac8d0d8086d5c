#include "common/lang/LanguageTable.h"

#include "LanguageFixture.h"
#include "platform/base/Utf16.h"
#include "platform/paths/InstallFolders.h"

namespace quorvane {
namespace {

using LanguageTableTest = LanguageFixture;

TEST_F(LanguageTableTest, FileFromLangPathAndLanguage) {
  const LanguageTable table(store());
  // Both values empty: the installed folder and "rcenu".
  EXPECT_EQ(table.LanguageFilePath(), platform::InstalledDataFolder() + "/lang/rcenu.lng");
  SetLangPath("");
  SetLanguage("");
  EXPECT_EQ(table.LanguageFilePath(), platform::InstalledDataFolder() + "/lang/rcenu.lng");

  SetLangPath("/opt/TeskTV");
  SetLanguage("rcger");
  EXPECT_EQ(table.LanguageFilePath(), "/opt/TeskTV/rcger.lng");
  SetLangPath("/opt/TeskTV/");
  EXPECT_EQ(table.LanguageFilePath(), "/opt/TeskTV/rcger.lng");
  SetLangPath("C:\\TeskTV\\");
  EXPECT_EQ(table.LanguageFilePath(), "C:\\TeskTV\\rcger.lng");
}

TEST_F(LanguageTableTest, BothLookupFormsAndTheirFallbacks) {
  SetLangPath(langFolder_);
  SetLanguage("rcger");
  WriteLanguageFile("rcger", "[LAB]\nLAB_YES=Ja\nLAB_EMPTY=\n[WARN]\nWARN_ERROR_ID_8=Bitte einen Tag wählen.\n");
  const LanguageTable table(store());

  EXPECT_EQ(table.Lookup("LAB", "LAB_YES", "Yes"), "Ja");
  EXPECT_EQ(table.Lookup("lab", "lab_yes", "Yes"), "Ja");
  EXPECT_EQ(table.LookupOrKey("WARN", "WARN_ERROR_ID_8"), "Bitte einen Tag wählen.");

  // An empty entry is a text for the default form, a miss for the other.
  EXPECT_EQ(table.Lookup("LAB", "LAB_EMPTY", "Empty"), "");
  EXPECT_EQ(table.LookupOrKey("LAB", "LAB_EMPTY"), "LAB_EMPTY");

  EXPECT_EQ(table.Lookup("LAB", "LAB_NO", "No"), "No");
  EXPECT_EQ(table.Lookup("INFO", "LAB_YES", "Yes"), "Yes");
  EXPECT_EQ(table.LookupOrKey("MSG", "MSG_ASK_EXIT_PROGRAM"), "MSG_ASK_EXIT_PROGRAM");

  SetLanguage("rcfre");  // no such file
  EXPECT_EQ(table.Lookup("LAB", "LAB_YES", "Yes"), "Yes");
  EXPECT_EQ(table.LookupOrKey("LAB", "LAB_YES"), "LAB_YES");
  SetLangPath(langFolder_ + "/missing");
  EXPECT_EQ(table.Lookup("LAB", "LAB_YES", "Yes"), "Yes");
}

TEST_F(LanguageTableTest, LongTextsAreCutTo255Units) {
  SetLangPath(langFolder_);
  // 'é' is two bytes but one unit; U+1F600 is two units.
  const std::string ascii(300, 'x');
  const std::string accented = std::string(250, 'a') + std::string(10, ' ') + "éééééééééé";
  const std::string emoji = std::string(254, 'b') + "\U0001F600tail";
  WriteLanguageFile("rcenu", "[LAB]\nLAB_A=" + ascii + "\nLAB_B=" + accented + "\nLAB_C=" + emoji + "\n");
  const LanguageTable table(store());

  EXPECT_EQ(table.Lookup("LAB", "LAB_A", ""), std::string(255, 'x'));
  EXPECT_EQ(table.LookupOrKey("LAB", "LAB_A"), std::string(255, 'x'));
  const std::string cutAccented = table.Lookup("LAB", "LAB_B", "");
  EXPECT_EQ(platform::Utf16Length(cutAccented), 255u);
  EXPECT_EQ(cutAccented, std::string(250, 'a') + std::string(5, ' '));
  // The pair would end beyond unit 255, so it goes whole.
  EXPECT_EQ(table.Lookup("LAB", "LAB_C", ""), std::string(254, 'b'));

  const std::string longDefault(300, 'd');
  EXPECT_EQ(table.Lookup("LAB", "LAB_MISSING", longDefault), longDefault);
}

TEST_F(LanguageTableTest, ChangesTakeEffectAtTheNextLookup) {
  SetLangPath(langFolder_);
  WriteLanguageFile("rcenu", "[LAB]\nLAB_OK=OK\n");
  WriteLanguageFile("rcger", "[LAB]\nLAB_OK=Gut\n");
  const LanguageTable table(store());
  EXPECT_EQ(table.Lookup("LAB", "LAB_OK", "?"), "OK");
  WriteLanguageFile("rcenu", "[LAB]\nLAB_OK=Okay\n");
  EXPECT_EQ(table.Lookup("LAB", "LAB_OK", "?"), "Okay");
  SetLanguage("rcger");
  EXPECT_EQ(table.Lookup("LAB", "LAB_OK", "?"), "Gut");
}

TEST_F(LanguageTableTest, Utf16LanguageFile) {
  SetLangPath(langFolder_);
  std::string bytes = "\xFF\xFE";
  for (const char16_t unit : std::u16string(u"[LAB]\r\nLAB_YES=\u0414\u0430\r\n")) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  WriteLanguageFile("rcrus", bytes);
  SetLanguage("rcrus");
  EXPECT_EQ(LanguageTable(store()).Lookup("LAB", "LAB_YES", "Yes"), "\u0414\u0430");
}

}  // namespace
}  // namespace quorvane
