#include "platform/ini/IniWriter.h"

#include <filesystem>

#include "IniTestFolder.h"
#include "platform/ini/IniEncoding.h"
#include "platform/ini/IniReader.h"

namespace quorvane::platform {
namespace {

using IniWriterTest = IniTestFolder;

TEST_F(IniWriterTest, WritesWhatTheReaderReadsBack) {
  const std::string path = Path("msg.ini");
  Write("msg.ini", "old content that is longer than the new one\n");
  ASSERT_TRUE(WriteIniFile(path, {{"DEBUG", {{"LOG_LEVEL", "1"}}}, {"Other", {{"A", "x y"}, {"B", ""}}}}));
  EXPECT_EQ(*ReadIniFileText(path), "[DEBUG]\nLOG_LEVEL=1\n[Other]\nA=x y\nB=\n");
  EXPECT_EQ(ReadIniInt(path, "DEBUG", "LOG_LEVEL", 0), 1);
  EXPECT_EQ(ReadIniString(path, "other", "b"), "");
  // Only the file itself is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1);
}

TEST_F(IniWriterTest, RefusesWhatCouldNotBeReadBack) {
  const std::string path = Path("bad.ini");
  const std::vector<std::vector<IniSection>> bad = {
      {{"", {}}},
      {{"A]B", {}}},
      {{"A\nB", {}}},
      {{"S", {{"", "x"}}}},
      {{"S", {{"K=1", "x"}}}},
      {{"S", {{";K", "x"}}}},
      {{"S", {{"K", "line\nbreak"}}}},
      {{"S", {{"K", " padded"}}}},
      {{"S", {{"K", "\"quoted\""}}}},
  };
  for (const auto& sections : bad) {
    EXPECT_FALSE(WriteIniFile(path, sections));
    EXPECT_FALSE(std::filesystem::exists(path));
  }
}

TEST_F(IniWriterTest, ReportsAnUnwritableFolder) {
  const auto status = WriteIniFile(Path("no/such/folder/x.ini"), {{"S", {{"K", "v"}}}});
  ASSERT_FALSE(status);
  EXPECT_NE(status.error().message.find("cannot create"), std::string::npos);
}

}  // namespace
}  // namespace quorvane::platform
