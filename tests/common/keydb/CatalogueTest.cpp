// The catalogue BoxInfo.xml: its exact UTF-16 form, loading damaged files,
// filing user boxes, and saving a learned key set through it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/keydb/Catalogue.h"
#include "common/keydb/KeyFile.h"
#include "common/keydb/LearnedKeySave.h"
#include "common/keydb/LearnedKeys.h"
#include "common/keydb/UserBox.h"
#include "tests/common/keydb/KeyFileTestSupport.h"
#include "tests/support/TempDir.h"

namespace quorvane::keydb {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::WriteBytes;

std::string SourceFile(const std::string& relative) {
  const char* source = std::getenv("QUORVANE_SOURCE_DIR");
  return std::string(source != nullptr ? source : ".") + "/" + relative;
}

std::string Fixture(const std::string& name) { return SourceFile("tests/common/keydb/data/" + name); }

// UTF-16LE of ASCII text, with the byte-order mark.
std::string AsciiAsUtf16(const std::string& text) {
  std::string bytes = "\xFF\xFE";
  for (char c : text) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

std::vector<std::string> BrandNames(const CProgramGroup& catalogue) {
  std::vector<std::string> names;
  for (const auto& brand : catalogue.brands) names.push_back(brand.name);
  return names;
}

TEST(Catalogue, SavesUtf16WithTheDeclarationAndNoIndentation) {
  const CProgramGroup catalogue{{
      CChannelGroup{"A", {CGChannel{"Not listed", "00000.txt"}, CGChannel{"M", "00001.txt"}}},
      CChannelGroup{"B", {}},
  }};
  auto bytes = SerializeCatalogue(catalogue);
  ASSERT_TRUE(bytes.ok()) << bytes.error().message;
  EXPECT_EQ(*bytes, AsciiAsUtf16("<?xml version='1.0' encoding='utf-16'?>"
                                 "<groups type=\"Box\"><brand name=\"A\">"
                                 "<model name=\"Not listed\">00000.txt</model><model name=\"M\">00001.txt</model>"
                                 "</brand><brand name=\"B\"/></groups>"));
}

TEST(Catalogue, RoundTripKeepsNonAsciiAndMarkupCharacters) {
  quorvane::testing::TempDir dir;
  const CProgramGroup catalogue{{
      CChannelGroup{"Boréal Télé", {CGChannel{"Not listed", "00000.txt"}, CGChannel{"Décodeur 2", "00001.txt"}}},
      CChannelGroup{"日本放送", {CGChannel{"チューナー", "10000.txt"}}},
      CChannelGroup{"\xF0\x9F\x93\xBA Box", {CGChannel{"a & b <c> \"q\" 'r'", ""}}},
      CChannelGroup{"", {CGChannel{"", "30000.txt"}}},
  }};
  const std::string path = dir.File("BoxInfo.xml");
  ASSERT_TRUE(SaveCatalogue(catalogue, path).ok());
  const std::string bytes = ReadBytes(path);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_NE(bytes.find(std::string("\xE9\x00", 2)), std::string::npos);          // é as one UTF-16 unit
  EXPECT_NE(bytes.find(std::string("\x3D\xD8\xFA\xDC", 4)), std::string::npos);  // U+1F4FA as a surrogate pair

  auto loaded = LoadCatalogue(path);
  ASSERT_TRUE(loaded.ok()) << loaded.error().message;
  EXPECT_EQ(*loaded, catalogue);
  // Nothing but the catalogue is left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(Catalogue, MissingNamesAndTextsReadAsEmpty) {
  auto catalogue = ParseCatalogue(
      "<groups type='Box'>\n  <brand>\n    <model name='x'/>\n    <model>f.txt</model>\n    <other/>\n  </brand>\n"
      "  <note/>\n</groups>\n");
  ASSERT_TRUE(catalogue.ok()) << catalogue.error().message;
  ASSERT_EQ(catalogue->brands.size(), 1u);
  EXPECT_EQ(catalogue->brands[0], (CChannelGroup{"", {CGChannel{"x", ""}, CGChannel{"", "f.txt"}}}));
}

TEST(Catalogue, DamagedCataloguesFailCleanly) {
  quorvane::testing::TempDir dir;
  struct Case {
    const char* name;
    std::string path;
  };
  const std::string notXml = dir.File("not-xml.xml");
  WriteBytes(notXml, "groups type=Box");
  const std::string otherRoot = dir.File("other-root.xml");
  WriteBytes(otherRoot, "<catalogue><brand name='A'/></catalogue>");
  const std::string empty = dir.File("empty.xml");
  WriteBytes(empty, "");
  const std::string entity = dir.File("entity.xml");
  WriteBytes(entity, "<!DOCTYPE groups [<!ENTITY x SYSTEM 'file:///etc/passwd'>]><groups><brand name='&x;'/></groups>");
  const std::string unclosed = dir.File("unclosed.xml");
  WriteBytes(unclosed, "<groups type='Box'><brand name='A'>");
  const std::vector<Case> cases = {
      {"not XML", notXml},
      {"root is not groups", otherRoot},
      {"empty file", empty},
      {"entity declaration", entity},
      {"unclosed elements", unclosed},
      {"UTF-16 file cut short", Fixture("truncated.xml")},
      {"missing file", dir.File("absent.xml")},
      {"a folder", dir.path()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto catalogue = LoadCatalogue(c.path);
    ASSERT_FALSE(catalogue.ok());
    EXPECT_FALSE(catalogue.error().message.empty());
  }
}

TEST(Catalogue, SaveRefusesAnEmptyPathAndLeavesNothingBehindOnFailure) {
  quorvane::testing::TempDir dir;
  const CProgramGroup catalogue{{CChannelGroup{"A", {}}}};
  EXPECT_FALSE(SaveCatalogue(catalogue, "").ok());
  EXPECT_FALSE(SaveCatalogue(catalogue, dir.File("missing/BoxInfo.xml")).ok());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 0);
}

TEST(Catalogue, InstalledCatalogueIsInTheSavedFormAndHasABrand) {
  const std::string path = SourceFile("data/db/BoxInfo.xml");
  auto catalogue = LoadCatalogue(path);
  ASSERT_TRUE(catalogue.ok()) << catalogue.error().message;
  // Learned keys are saved only into a catalogue that has a brand.
  ASSERT_FALSE(catalogue->brands.empty());
  for (const auto& brand : catalogue->brands) {
    ASSERT_FALSE(brand.models.empty()) << brand.name;
    EXPECT_EQ(brand.models[0].name, kNotListedModel);
  }
  EXPECT_EQ(ReadBytes(path), *SerializeCatalogue(*catalogue));
}

TEST(UserBox, FileNamesFollowCataloguePositions) {
  EXPECT_EQ(KeyFileName(0, 0), "00000.txt");
  EXPECT_EQ(KeyFileName(5, 1), "50001.txt");
  EXPECT_EQ(KeyFileName(12, 345), "120345.txt");
  EXPECT_EQ(KeyFileName(3, 12345), "312345.txt");
}

TEST(UserBox, FilingBoxesInACatalogueOfFiveBrands) {
  auto loaded = LoadCatalogue(Fixture("five-brands.xml"));
  ASSERT_TRUE(loaded.ok()) << loaded.error().message;
  CProgramGroup catalogue = *loaded;
  ASSERT_EQ(BrandNames(catalogue),
            (std::vector<std::string>{"Arcadia", "Boréal Télé", "Cirrus", "日本放送", "Zenith Box"}));

  // The first user box founds the user brand at index 5.
  EXPECT_EQ(AddUserBox(catalogue, "User Defined", "Not listed", "Living room"), "50001.txt");
  ASSERT_EQ(catalogue.brands.size(), 6u);
  EXPECT_EQ(catalogue.brands[5], (CChannelGroup{"User Defined",
                                                {CGChannel{"Not listed", "50000.txt"},
                                                 CGChannel{"Living room", "50001.txt"}}}));

  // The same model name reuses its entry; another one is appended.
  EXPECT_EQ(AddUserBox(catalogue, "User Defined", "Not listed", "Living room"), "50001.txt");
  EXPECT_EQ(catalogue.brands[5].models.size(), 2u);
  EXPECT_EQ(AddUserBox(catalogue, "User Defined", "Not listed", "Bedroom"), "50002.txt");
  EXPECT_EQ(catalogue.brands[5].models.back(), (CGChannel{"Bedroom", "50002.txt"}));
  // Names compare exactly.
  EXPECT_EQ(AddUserBox(catalogue, "User Defined", "Not listed", "bedroom"), "50003.txt");

  // Another interface language names the user brand differently: a second
  // user brand follows.
  EXPECT_EQ(AddUserBox(catalogue, "Benutzerdefiniert", "Nicht aufgeführt", "Living room"), "60001.txt");
  EXPECT_EQ(catalogue.brands[6].models[0], (CGChannel{"Nicht aufgeführt", "60000.txt"}));
  EXPECT_EQ(catalogue.brands.size(), 7u);
}

TEST(UserBox, AnExistingModelIsNamedByItsPosition) {
  CProgramGroup catalogue{{CChannelGroup{"A", {}}, CChannelGroup{"User Defined",
                                                                 {CGChannel{"Not listed", "x.txt"},
                                                                  CGChannel{"Box", "renamed.txt"}}}}};
  EXPECT_EQ(AddUserBox(catalogue, "User Defined", "Not listed", "Box"), "10001.txt");
  EXPECT_EQ(catalogue.brands[1].models[1].file, "renamed.txt");
}

class LearnedKeySaveTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::copy_file(Fixture("five-brands.xml"), dir_.File("BoxInfo.xml")); }

  static CRemoteKeyList DigitsAndPower() {
    LearnedCodes codes;
    for (int position = 0; position < kKeyPositionCount; ++position) codes[position] = testing::CodeFor(position);
    return *BuildLearnedKeyList({0, 0, 0, 0}, codes);
  }

  quorvane::testing::TempDir dir_;
};

TEST_F(LearnedKeySaveTest, SavesTheKeysUnderTheUserBrand) {
  CRemoteKeyList learned = DigitsAndPower();
  const CRemoteKeyList expected = learned;
  const LearnedKeySave save = SaveLearnedKeys(dir_.path(), "Living room", learned);
  ASSERT_EQ(save.outcome, LearnedKeySaveOutcome::Saved) << save.message;
  EXPECT_EQ(save.modelFile, dir_.File("50001.txt"));
  EXPECT_TRUE(learned.empty());
  auto keys = ReadKeyFile(save.modelFile);
  ASSERT_TRUE(keys.ok());
  EXPECT_EQ(keys->keys, expected);
  EXPECT_EQ(keys->keys.size(), 12u);

  auto catalogue = LoadCatalogue(dir_.File("BoxInfo.xml"));
  ASSERT_TRUE(catalogue.ok());
  ASSERT_EQ(catalogue->brands.size(), 6u);
  EXPECT_EQ(catalogue->brands[5].models[1], (CGChannel{"Living room", "50001.txt"}));

  // A second box under the same name overwrites the same file.
  CRemoteKeyList again;
  again.Append(CKeyList{0, testing::CodeFor(40)});
  const LearnedKeySave second = SaveLearnedKeys(dir_.path(), "Living room", again);
  ASSERT_EQ(second.outcome, LearnedKeySaveOutcome::Saved);
  EXPECT_EQ(second.modelFile, save.modelFile);
  EXPECT_EQ(ReadKeyFile(second.modelFile)->keys.size(), 1u);
  EXPECT_EQ(LoadCatalogue(dir_.File("BoxInfo.xml"))->brands.size(), 6u);
}

TEST_F(LearnedKeySaveTest, WithoutAUsableCatalogueNothingIsSaved) {
  for (const std::string& content : {std::string(), std::string("<groups type=\"Box\"/>")}) {
    SCOPED_TRACE(content);
    WriteBytes(dir_.File("BoxInfo.xml"), content);
    CRemoteKeyList learned = DigitsAndPower();
    const LearnedKeySave save = SaveLearnedKeys(dir_.path(), "Living room", learned);
    EXPECT_EQ(save.outcome, LearnedKeySaveOutcome::NoCatalogue);
    EXPECT_TRUE(save.modelFile.empty());
    EXPECT_EQ(learned.size(), 12u);
    EXPECT_FALSE(fs::exists(dir_.File("50001.txt")));
    EXPECT_EQ(ReadBytes(dir_.File("BoxInfo.xml")), content);
  }
  fs::remove(dir_.File("BoxInfo.xml"));
  CRemoteKeyList learned = DigitsAndPower();
  EXPECT_EQ(SaveLearnedKeys(dir_.path(), "Living room", learned).outcome, LearnedKeySaveOutcome::NoCatalogue);
  EXPECT_EQ(SaveLearnedKeys("", "Living room", learned).outcome, LearnedKeySaveOutcome::NoCatalogue);
}

TEST_F(LearnedKeySaveTest, AKeyFileThatCannotBeCreatedKeepsTheKeysInMemory) {
  fs::create_directory(dir_.File("50001.txt"));
  CRemoteKeyList learned = DigitsAndPower();
  const LearnedKeySave save = SaveLearnedKeys(dir_.path(), "Living room", learned);
  EXPECT_EQ(save.outcome, LearnedKeySaveOutcome::KeyFileNotCreated);
  EXPECT_TRUE(save.modelFile.empty());
  EXPECT_EQ(learned.size(), 12u);
  // The catalogue was rewritten before the key file was tried.
  EXPECT_EQ(LoadCatalogue(dir_.File("BoxInfo.xml"))->brands.size(), 6u);
}

}  // namespace
}  // namespace quorvane::keydb
