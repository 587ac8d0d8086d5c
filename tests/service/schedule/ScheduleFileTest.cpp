#include "service/schedule/ScheduleFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/service/schedule/ScheduleTestSupport.h"

namespace TESKTV::SCHEDULE {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class ScheduleFileTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::PinBerlinTime(); }
  TempDir dir_;
};

// A schedules document around `body`.
std::string Document(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<schedules>" + body + "</schedules>\n";
}

ScheduleFileContents LoadText(const TempDir& dir, const std::string& text) {
  WriteFile(dir.File("user.xml"), text);
  auto contents = ScheduleFile(dir.File("user.xml")).Load();
  EXPECT_TRUE(contents.ok()) << contents.error().message;
  return contents.ok() ? std::move(*contents) : ScheduleFileContents{};
}

TEST_F(ScheduleFileTest, WritesTheExactFormat) {
  const ScheduleFile file(dir_.File("user.xml"));
  ASSERT_TRUE(file.Save(testing::FixtureList()).ok());
  EXPECT_EQ(ReadFile(file.Path()), ReadFile(testing::DataFile("two_schedules.xml")));
  EXPECT_FALSE(std::filesystem::exists(file.BackPath()));

  ASSERT_TRUE(file.Save(std::vector<ScheduleProgram>{}).ok());
  EXPECT_EQ(ReadFile(file.Path()), ReadFile(testing::DataFile("empty_list.xml")));
}

TEST_F(ScheduleFileTest, ReadsBackWhatItWroteExceptTheUnstoredFields) {
  auto contents = ScheduleFile(testing::DataFile("two_schedules.xml")).Load();
  ASSERT_TRUE(contents.ok()) << contents.error().message;
  EXPECT_TRUE(contents->refused.empty());
  std::vector<ScheduleProgram> expected = testing::FixtureList();
  ASSERT_EQ(contents->records.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    expected[i].SetError("");  // the error word is not stored
    EXPECT_EQ(contents->records[i], expected[i]) << i;
  }
  EXPECT_EQ(contents->records[0].GetSplitFile(), 1);

  // The record list works through unique_ptr as well, and seconds are lost.
  std::vector<std::unique_ptr<ScheduleProgram>> owned;
  owned.push_back(std::make_unique<ScheduleProgram>(expected[0]));
  owned[0]->SetSchedule(ONCE, testing::Local(2026, 12, 9, 20, 15, 42), 90);
  owned[0]->SetStartDTime(12345);
  owned[0]->SetRecord("/home/anna/Videos", "kept.mpg", 700);
  const ScheduleFile file(dir_.File("user.xml"));
  ASSERT_TRUE(file.Save(owned).ok());
  auto again = file.Load();
  ASSERT_TRUE(again.ok());
  ASSERT_EQ(again->records.size(), 1u);
  EXPECT_EQ(again->records[0].GetDTime(), testing::Local(2026, 12, 9, 20, 15, 0));
  EXPECT_EQ(again->records[0].GetStartDTime(), 0);
  EXPECT_EQ(again->records[0].GetRecFile(), "");
}

TEST_F(ScheduleFileTest, ReadingRules) {
  const std::string datetime = "<datetime><year>2026</year><month>6</month><date>1</date><hour>8</hour>"
                               "<minute>0</minute></datetime>";
  const ScheduleFileContents contents = LoadText(
      dir_, Document(
                // Any element name, children in any order, unknown elements ignored.
                "<item id=\"A\"><RecordStatus>1</RecordStatus><unknown>9</unknown>" + datetime +
                "<enable>7</enable><description>x</description></item>"
                // Missing top-level elements keep the defaults of a new record.
                "<!-- comment --><schedule id=\"B\">" + datetime + "</schedule>"
                // Missing children of the containers read as 0 or empty.
                "<schedule id=\"C\"><enable>-1</enable>" + datetime +
                "<record/><bitratesetting><Cbr>true</Cbr><Preview>TRUE</Preview>"
                "<AudioVolume>12abc</AudioVolume><AudioBitRate>abc</AudioBitRate></bitratesetting>"
                "<device>Box</device></schedule>"
                // No id: nothing else is read.
                "<schedule><description>ignored</description></schedule>"
                "<schedule id=\"\">" + datetime + "</schedule>"
                // A date that is no local time is refused.
                "<schedule id=\"D\"><datetime><year>2026</year><month>3</month><date>29</date><hour>2</hour>"
                "<minute>30</minute></datetime></schedule>"
                "<schedule id=\"E\"><description>no date</description></schedule>"));

  ASSERT_EQ(contents.records.size(), 5u);
  const ScheduleProgram& a = contents.records[0];
  EXPECT_EQ(a.GetID(), "A");
  EXPECT_EQ(a.GetEnable(), 1);
  EXPECT_EQ(a.GetRecordStatus(), 1);
  EXPECT_EQ(a.GetDescription(), "x");
  EXPECT_EQ(a.GetDTime(), testing::Local(2026, 6, 1, 8, 0));
  EXPECT_EQ(a.GetError(), "");

  const ScheduleProgram& b = contents.records[1];
  EXPECT_EQ(b.GetEAction(), 5);
  EXPECT_EQ(b.GetStream(), StreamSettings{});
  EXPECT_EQ(b.GetTimeLen(), 0);

  const ScheduleProgram& c = contents.records[2];
  EXPECT_EQ(c.GetEnable(), 0);
  EXPECT_EQ(c.GetDevice(), "Box");
  EXPECT_EQ(c.GetDeviceNum(), 0);
  EXPECT_EQ(c.GetSplitSize(), 0);
  EXPECT_EQ(c.GetStream().bIsCbr, 0);
  EXPECT_EQ(c.GetStream().bEnablePreview, 1);
  EXPECT_EQ(c.GetStream().lAudioVolume, 12);
  EXPECT_EQ(c.GetStream().lAudioBitRate, 0);
  EXPECT_EQ(c.GetStream().lVideoAverageBitRate, 0);

  for (std::size_t i : {3u, 4u}) {
    EXPECT_EQ(contents.records[i].GetID(), "");
    EXPECT_EQ(contents.records[i].GetError(), "ERROR ID");
    EXPECT_EQ(contents.records[i].GetDescription(), "");
    EXPECT_EQ(contents.records[i].GetDTime(), 0);
  }

  ASSERT_EQ(contents.refused.size(), 2u);
  EXPECT_NE(contents.refused[0].find("\"D\""), std::string::npos) << contents.refused[0];
  EXPECT_NE(contents.refused[1].find("\"E\""), std::string::npos) << contents.refused[1];

  const auto null = ScheduleProgram::FromNode({});
  ASSERT_TRUE(null.ok());
  EXPECT_EQ(null->GetError(), "NULL NODE");
}

TEST_F(ScheduleFileTest, UnreadableFilesAreErrors) {
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"wrong root", "<?xml version=\"1.0\"?><schedule id=\"A\"/>"},
      {"malformed", "<schedules><schedule id=\"A\"></schedules>"},
      {"empty", ""},
      {"half written", ReadFile(testing::DataFile("two_schedules.xml")).substr(0, 700)},
  };
  for (const auto& c : cases) {
    WriteFile(dir_.File("user.xml"), c.text);
    auto contents = ScheduleFile(dir_.File("user.xml")).Load();
    ASSERT_FALSE(contents.ok()) << c.name;
    EXPECT_NE(contents.error().message.find("user.xml"), std::string::npos) << contents.error().message;
  }
  EXPECT_FALSE(ScheduleFile(dir_.File("missing.xml")).Load().ok());
}

TEST_F(ScheduleFileTest, CheckScheduleXmlCreatesAFreshFileOnlyWhereNothingExists) {
  const std::string path = dir_.File("data/Quorvane/anna.xml");
  ASSERT_TRUE(CheckScheduleXML(path).ok());
  EXPECT_EQ(ReadFile(path), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<schedules>\n</schedules>\n");
  auto contents = ScheduleFile(path).Load();
  ASSERT_TRUE(contents.ok());
  EXPECT_TRUE(contents->records.empty());

  WriteFile(path, "kept");
  ASSERT_TRUE(CheckScheduleXML(path).ok());
  EXPECT_EQ(ReadFile(path), "kept");

  std::filesystem::create_directories(dir_.File("folder.xml"));
  EXPECT_TRUE(CheckScheduleXML(dir_.File("folder.xml")).ok());
  EXPECT_TRUE(std::filesystem::is_directory(dir_.File("folder.xml")));

  WriteFile(dir_.File("plain"), "x");
  const std::string blocked = dir_.File("plain/Quorvane/anna.xml");
  EXPECT_FALSE(CheckScheduleXML(blocked).ok());
  EXPECT_FALSE(ScheduleFile(blocked).Load().ok());
}

TEST_F(ScheduleFileTest, AFailedSaveLeavesTheFileUntouched) {
  const ScheduleFile file(dir_.File("user.xml"));
  ASSERT_TRUE(file.Save(testing::FixtureList()).ok());
  const std::string before = ReadFile(file.Path());

  // A folder where the back file belongs cannot be written, as root too.
  std::filesystem::create_directories(file.BackPath());
  const auto failed = file.Save(std::vector<ScheduleProgram>{});
  ASSERT_FALSE(failed.ok());
  EXPECT_NE(failed.error().message.find("user.xmlback"), std::string::npos) << failed.error().message;
  EXPECT_EQ(ReadFile(file.Path()), before);
  std::filesystem::remove(file.BackPath());

  // A schedule file that the back file cannot replace stays too.
  const ScheduleFile blocked(dir_.File("dir.xml"));
  std::filesystem::create_directories(dir_.File("dir.xml/inside"));
  EXPECT_FALSE(blocked.Save(testing::FixtureList()).ok());
  EXPECT_TRUE(std::filesystem::exists(dir_.File("dir.xml/inside")));
  EXPECT_FALSE(std::filesystem::exists(blocked.BackPath()));
}

TEST_F(ScheduleFileTest, SavingKeepsTheModeOfTheFile) {
  const ScheduleFile file(dir_.File("user.xml"));
  ASSERT_TRUE(CheckScheduleXML(file.Path()).ok());
  ::chmod(file.Path().c_str(), 0600);
  ASSERT_TRUE(file.Save(testing::FixtureList()).ok());
  struct stat info {};
  ASSERT_EQ(::stat(file.Path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
}

}  // namespace
}  // namespace TESKTV::SCHEDULE
