#include "service/recording/RecordingCommandLine.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/base/Utf16.h"
#include "tools/TestCmd/RecordingCommandLine.h"

namespace TESKTV::SERVICE {
namespace {

namespace testcmd = quorvane::tools::testcmd;
using SCHEDULE::ScheduleProgram;

ScheduleProgram Record(std::string description, std::string recpath) {
  ScheduleProgram record("SI_test");
  record.SetDescription(std::move(description));
  record.SetDevice("Cable Box", 0, 1);
  record.SetRecord(std::move(recpath), "", 0);
  return record;
}

// What the recording program reads from the line the service hands it as
// its one argument.
testcmd::RecordingOptions Parsed(const std::string& line) {
  auto parsed = testcmd::ParseRecordingCommandLine({"/opt/quorvane/bin/TestCmd", line});
  EXPECT_TRUE(parsed.ok()) << (parsed.ok() ? "" : parsed.error().message) << "\n" << line;
  return parsed.ok() ? *parsed : testcmd::RecordingOptions{};
}

TEST(RecordingCommandLineTest, HoldsThePiecesInOrderEachEndingWithABlank) {
  ScheduleProgram record = Record("News", "/srv/rec");
  EXPECT_EQ(BuildRecordingCommandLine(record, 1800).text,
            "-startr2:\"123.ts\" -startr2:\"News.ts\" -limit:1800 -vinput:1 -cbr:1 -vbaver:8000 "
            "-aoutfmt:1 -abindex:32 -folder:\"/srv/rec\" ");

  record.SetRecord("/srv/rec", "", 700);
  SCHEDULE::StreamSettings stream;
  stream.bIsCbr = 0;
  stream.lVideoAverageBitRate = 4000;
  stream.lAudioFormat = 2;
  stream.lAudioBitRate = 14;
  record.SetStream(stream);
  const std::string line = BuildRecordingCommandLine(record, 60).text;
  EXPECT_EQ(line,
            "-startr2:\"123.ts\" -startr2:\"News.ts\" -limit:60 -vinput:1 -cbr:0 -vbaver:4000 "
            "-aoutfmt:2 -abindex:14 -splitsize:700000000 -folder:\"/srv/rec\" ");
  EXPECT_EQ(Parsed(line).splitBytes, 700000000);
  EXPECT_FALSE(Parsed(line).constantBitRate);
}

TEST(RecordingCommandLineTest, TypedTextCannotAddOrChangeArguments) {
  struct Case {
    std::string description;
    std::string recpath;
  };
  const Case cases[] = {
      {"My \"Show\"", "/srv/rec"},
      {"a\" -limit:1 -folder:\"/etc", "/srv/rec"},
      {"x -limit:5 -folder:/etc", "/srv/rec"},
      {"trailing backslash\\", "/srv/rec\\"},
      {"\\\" -limit:2 \\\\\"", "/srv/with space/and \"quote\" -limit:3"},
      {"$(rm -rf ~) `id` $HOME %h", "/srv/rec;rm -rf /"},
      {"tab\tand\nnewline", "/srv/tab\there"},
      {"Tatort – Über Nacht 🎬", "/srv/Aufnahmen/Überall"},
      {"", "/srv/rec"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    const testcmd::RecordingOptions options = Parsed(BuildRecordingCommandLine(Record(c.description, c.recpath), 1790).text);
    // The recording program keeps its file inside the folder.
    std::string name = c.description;
    std::replace(name.begin(), name.end(), '/', '_');
    EXPECT_EQ(options.name, name);
    EXPECT_EQ(options.folder, c.recpath);
    EXPECT_EQ(options.limitSeconds, 1790);
    EXPECT_EQ(options.splitBytes, 0);
  }
}

TEST(RecordingCommandLineTest, ALongDescriptionIsShortenedByWholeCharacters) {
  for (const std::string& unit : {std::string("é"), std::string("🎬"), std::string("\"")}) {
    SCOPED_TRACE(unit);
    std::string description;
    for (int i = 0; i < 1200; ++i) description += unit;
    const RecordingCommandLine built = BuildRecordingCommandLine(Record(description, "/srv/rec"), 1800);
    EXPECT_TRUE(built.descriptionShortened);
    EXPECT_FALSE(built.argumentsDropped);
    EXPECT_LE(quorvane::platform::Utf16Length(built.text), kMaxCommandLineChars);
    EXPECT_GT(quorvane::platform::Utf16Length(built.text), kMaxCommandLineChars - 4);
    EXPECT_TRUE(quorvane::platform::IsValidUtf8(built.text));
    const testcmd::RecordingOptions options = Parsed(built.text);
    EXPECT_FALSE(options.name.empty());
    EXPECT_EQ(description.compare(0, options.name.size(), options.name), 0);
    EXPECT_EQ(options.folder, "/srv/rec");
  }
}

TEST(RecordingCommandLineTest, AFolderTooLongForTheLineDropsWholeArgumentsOnly) {
  const RecordingCommandLine built = BuildRecordingCommandLine(Record("News", "/srv/" + std::string(1200, 'x')), 1800);
  EXPECT_TRUE(built.argumentsDropped);
  EXPECT_LE(quorvane::platform::Utf16Length(built.text), kMaxCommandLineChars);
  ASSERT_FALSE(built.text.empty());
  EXPECT_EQ(built.text.back(), ' ');
  EXPECT_EQ(built.text.find("-folder"), std::string::npos);
  for (const std::string& arg : testcmd::SplitCommandLine(built.text)) EXPECT_EQ(arg.front(), '-') << arg;
}

}  // namespace
}  // namespace TESKTV::SERVICE
