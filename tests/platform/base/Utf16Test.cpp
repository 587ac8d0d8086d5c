#include "platform/base/Utf16.h"

#include <gtest/gtest.h>

namespace quorvane::platform {
namespace {

TEST(Utf16, LengthCountsUnitsNotBytes) {
  struct Case {
    std::string utf8;
    std::size_t units;
  };
  const Case cases[] = {
      {"", 0},
      {"abc", 3},
      {"\xC3\xA4", 1},                // ä
      {"\xE2\x82\xAC", 1},            // €
      {"\xF0\x9F\x93\xBA", 2},        // 📺 needs a surrogate pair
      {"\xFF\xFE", 2},                // invalid bytes count one unit each
      {"\xE2\x82", 2},                // truncated sequence
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf16Length(c.utf8), c.units) << c.utf8;
    EXPECT_EQ(ToUtf16(c.utf8).size(), c.units) << c.utf8;
  }
}

TEST(Utf16, RoundTripsValidTextAndReplacesBrokenSurrogates) {
  const std::string text = "Tagesschau \xC3\xA4 \xF0\x9F\x93\xBA \xE2\x82\xAC";
  EXPECT_EQ(ToUtf8(ToUtf16(text)), text);
  EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Utf16, ValidationRefusesOverlongAndSurrogateEncodings) {
  EXPECT_TRUE(IsValidUtf8("plain \xC3\xA4"));
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong '/'
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // encoded surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(IsValidUtf8("ab\xE2\x82"));        // cut at the end
}

TEST(Utf16, CaseFoldingCoversNonAsciiLetters) {
  EXPECT_TRUE(EqualsIgnoringCase("SOFTWARE\\Quorvane", "software\\QUORVANE"));
  EXPECT_TRUE(EqualsIgnoringCase("\xC3\x84rger", "\xC3\xA4RGER"));  // Ärger
  EXPECT_FALSE(EqualsIgnoringCase("Device1", "Device2"));
}

}  // namespace
}  // namespace quorvane::platform
