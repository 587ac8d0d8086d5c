// The recording program's command line as the service builds it.

#include <gtest/gtest.h>

#include "tools/TestCmd/RecordingCommandLine.h"

namespace quorvane::tools::testcmd {
namespace {

// What the service's preparation produces for a 30-minute schedule,
// split into 700 MB pieces.
const char* const kServiceLine =
    "-startr2:\"123.ts\" -startr2:\"Evening News.ts\" -limit:1800 -vinput:2 -cbr:0 -vbaver:6000 "
    "-aoutfmt:1 -abindex:32 -splitsize:700000000 -folder:\"/home/ann/Videos/TV rec\" ";

void ExpectServiceOptions(const RecordingOptions& o) {
  EXPECT_EQ(o.name, "Evening News");
  EXPECT_EQ(o.limitSeconds, 1800);
  EXPECT_EQ(o.videoInput, 2);
  EXPECT_FALSE(o.constantBitRate);
  EXPECT_EQ(o.videoKbps, 6000);
  EXPECT_EQ(o.audioFormat, 1);
  EXPECT_EQ(o.audioBitRateIndex, 32);
  EXPECT_EQ(o.splitBytes, 700000000);
  EXPECT_EQ(o.folder, "/home/ann/Videos/TV rec");
}

TEST(RecordingCommandLine, ServiceLineAsArgumentsWithTheFirstTokenInPlaceOfTheProgramName) {
  std::vector<std::string> args = SplitCommandLine(kServiceLine);
  ASSERT_EQ(args.size(), 10u);
  EXPECT_EQ(args[0], "-startr2:123.ts");
  auto parsed = ParseRecordingCommandLine(args);
  ASSERT_TRUE(parsed) << parsed.error().message;
  ExpectServiceOptions(*parsed);
}

TEST(RecordingCommandLine, ServiceLineAfterAProgramPathOrAsOneArgument) {
  std::vector<std::string> args = SplitCommandLine(kServiceLine);
  args.insert(args.begin(), "/opt/quorvane/bin/TestCmd");
  auto afterPath = ParseRecordingCommandLine(args);
  ASSERT_TRUE(afterPath) << afterPath.error().message;
  ExpectServiceOptions(*afterPath);

  auto whole = ParseRecordingCommandLine({"/opt/quorvane/bin/TestCmd", kServiceLine});
  ASSERT_TRUE(whole) << whole.error().message;
  ExpectServiceOptions(*whole);

  const std::string line = kServiceLine;
  auto remainder = ParseRecordingCommandLine({"-startr2:123.ts", line.substr(line.find(' ') + 1)});
  ASSERT_TRUE(remainder) << remainder.error().message;
  ExpectServiceOptions(*remainder);
}

TEST(RecordingCommandLine, ValuesThatKeptTheirQuotesOptionCaseAndDefaults) {
  auto parsed = ParseRecordingCommandLine(
      {"TestCmd", "-STARTR2:\"a/b: c.TS\"", "-Limit:0", "-folder:\"/tmp/x\""});
  ASSERT_TRUE(parsed) << parsed.error().message;
  EXPECT_EQ(parsed->name, "a_b: c");  // stays inside the folder
  EXPECT_EQ(parsed->limitSeconds, 0);
  EXPECT_EQ(parsed->folder, "/tmp/x");
  EXPECT_EQ(parsed->videoKbps, 8000);
  EXPECT_EQ(parsed->splitBytes, 0);

  // One option whose value has a blank is not taken for a whole line.
  auto blank = ParseRecordingCommandLine({"-startr2:My Show.ts", "-limit:5", "-folder:/tmp/a -b"});
  ASSERT_TRUE(blank) << blank.error().message;
  EXPECT_EQ(blank->name, "My Show");
  EXPECT_EQ(blank->folder, "/tmp/a -b");
}

TEST(RecordingCommandLine, MalformedLinesSayWhatIsWrong) {
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"TestCmd"}, "no options given"},
      {{"TestCmd", "-limit:10", "-folder:/tmp"}, "missing option -startr2"},
      {{"TestCmd", "-startr2:a.ts", "-folder:/tmp"}, "missing option -limit"},
      {{"TestCmd", "-startr2:a.ts", "-limit:10"}, "missing option -folder"},
      {{"TestCmd", "-startr2:a.ts", "-limit:ten", "-folder:/tmp"}, "option -limit needs a whole number, not \"ten\""},
      {{"TestCmd", "-startr2:a.ts", "-limit:10s", "-folder:/tmp"}, "option -limit needs a whole number"},
      {{"TestCmd", "-startr2:a.ts", "-limit:-5", "-folder:/tmp"}, "option -limit must lie between 0 and"},
      {{"TestCmd", "-startr2:a.ts", "-limit:10", "-vbaver:0", "-folder:/tmp"}, "option -vbaver must lie between 1"},
      {{"TestCmd", "-startr2:a.ts", "-limit:10", "-cbr:2", "-folder:/tmp"}, "option -cbr must lie between 0 and 1"},
      {{"TestCmd", "-startr2:a.ts", "-limit:10", "-vinput:99999999999", "-folder:/tmp"}, "option -vinput must lie"},
      {{"TestCmd", "-startr2:a.ts", "-limit", "-folder:/tmp"}, "option -limit needs a value"},
      {{"TestCmd", "-startr2:a.ts", "-limit:1", "-limit:2", "-folder:/tmp"}, "option -limit given twice"},
      {{"TestCmd", "-startr2:a.ts", "-limit:1", "-quality:3", "-folder:/tmp"}, "unknown option -quality"},
      {{"TestCmd", "-startr2:a.ts", "-limit:1", "extra", "-folder:/tmp"}, "unexpected argument \"extra\""},
      {{"TestCmd", "-startr2:a.ts", "-limit:1", "-folder:"}, "option -folder needs a folder"},
  };
  for (const auto& c : cases) {
    auto parsed = ParseRecordingCommandLine(c.args);
    ASSERT_FALSE(parsed) << c.message;
    EXPECT_NE(parsed.error().message.find(c.message), std::string::npos)
        << "got: " << parsed.error().message << "; wanted: " << c.message;
  }
}

TEST(RecordingCommandLine, SplitsWithWindowsQuoting) {
  const struct {
    const char* line;
    std::vector<std::string> args;
  } cases[] = {
      {"  a  b\tc ", {"a", "b", "c"}},
      {"-x:\"two words\" y", {"-x:two words", "y"}},
      {"\"\" a", {"", "a"}},
      {"a\\\\b \\\"q\\\"", {"a\\\\b", "\"q\""}},
      {"\"c:\\dir\\\\\" next", {"c:\\dir\\", "next"}},
      {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
}

}  // namespace
}  // namespace quorvane::tools::testcmd
