#include "common/log/LogLine.h"

#include <gtest/gtest.h>

#include <cstdarg>

#include "LogFixture.h"
#include "platform/base/Utf16.h"

namespace TESKTV::LOG {
namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatLogMessage(format, args);
  va_end(args);
  return text;
}

using LogLineTest = LogFixture;

TEST_F(LogLineTest, FieldsInOrder) {
  EXPECT_EQ(FormatLogLine(TestStart(), "ROOT", LogLevel::Error, "disk full"),
            "03/07/09 14:05:09  42 [ROOT                ][ERROR] :disk full");
  EXPECT_EQ(FormatLogLine(TestStart() + std::chrono::milliseconds(958), "ROOT", LogLevel::Info, ""),
            "03/07/09 14:05:10   0 [ROOT                ][INFO] :");
  // Summer time, a year with a leading zero, three-digit milliseconds.
  using namespace std::chrono;
  const auto summer = sys_days{year{2001} / 7 / 4} + hours{22} + minutes{59} + seconds{59} + milliseconds{999};
  EXPECT_EQ(FormatLogLine(summer, "A", LogLevel::Debug, "x"),
            "07/05/01 00:59:59 999 [A                   ][DEBUG] :x");
}

TEST_F(LogLineTest, NameFieldIsTwentyWide) {
  const std::string four = FormatLogLine(TestStart(), "List", LogLevel::Info, "m");
  EXPECT_NE(four.find("[List" + std::string(16, ' ') + "][INFO]"), std::string::npos) << four;
  const std::string long25 = "ScheduleListWindowLogger_";
  ASSERT_EQ(long25.size(), 25u);
  const std::string whole = FormatLogLine(TestStart(), long25, LogLevel::Info, "m");
  EXPECT_NE(whole.find("[" + long25 + "][INFO]"), std::string::npos) << whole;
}

TEST_F(LogLineTest, MessagesAreFormattedAndCut) {
  EXPECT_EQ(Format("id %d of %s", 7, "ten"), "id 7 of ten");
  EXPECT_EQ(Format("%s", std::string(5000, 'x').c_str()), std::string(1023, 'x'));
  EXPECT_EQ(Format("%s", std::string(1023, 'y').c_str()), std::string(1023, 'y'));
  // Three-byte characters count one unit each.
  std::string wide;
  for (int i = 0; i < 1100; ++i) wide += "\u20ac";
  const std::string cut = Format("%s", wide.c_str());
  EXPECT_EQ(quorvane::platform::Utf16Length(cut), 1023u);
  EXPECT_TRUE(quorvane::platform::IsValidUtf8(cut));
}

}  // namespace
}  // namespace TESKTV::LOG
