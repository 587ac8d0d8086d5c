#include "platform/ini/IniEncoding.h"

#include <sys/stat.h>
#include <unistd.h>

#include "IniTestFolder.h"
#include "platform/ini/IniReader.h"

namespace quorvane::platform {
namespace {

// "[LAB]\nLAB_X=Grüße €\n" in UTF-16 with the given byte order.
std::string Utf16File(bool bigEndian) {
  const std::u16string text = u"[LAB]\r\nLAB_X=Gr\u00fc\u00dfe \u20ac \U0001F600\r\n";
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

using IniEncodingTest = IniTestFolder;

TEST_F(IniEncodingTest, DecodesEveryFileEncoding) {
  const std::string expected = "Gr\u00fc\u00dfe \u20ac \U0001F600";
  struct Case {
    const char* name;
    std::string bytes;
    std::string expected;
  };
  const Case cases[] = {
      {"utf16le", Utf16File(false), expected},
      {"utf16be", Utf16File(true), expected},
      {"utf8bom", "\xEF\xBB\xBF[LAB]\nLAB_X=" + expected + "\n", expected},
      {"utf8", "[LAB]\nLAB_X=" + expected + "\n", expected},
      // 8-bit Western text: ü = FC, ß = DF, € = 80 in Windows-1252.
      {"cp1252", "[LAB]\nLAB_X=Gr\xFC\xDF" "e \x80\n", "Gr\u00fc\u00dfe \u20ac"},
      // Undefined Windows-1252 bytes keep their Latin-1 meaning.
      {"cp1252-undefined", "[LAB]\nLAB_X=\x81\xE9\n", "\u0081\u00e9"},
  };
  for (const auto& c : cases) {
    const std::string path = Write(c.name, c.bytes);
    EXPECT_EQ(ReadIniString(path, "lab", "lab_x"), c.expected) << c.name;
  }
}

TEST(DecodeIniBytesTest, RepairsBrokenUnicode) {
  // A lone high surrogate in UTF-16 and a stray byte after a UTF-8 mark
  // become U+FFFD rather than ending the text.
  EXPECT_EQ(DecodeIniBytes(std::string("\xFF\xFE" "A\0\x00\xD8" "B\0", 8)), "A\uFFFDB");
  EXPECT_EQ(DecodeIniBytes("\xEF\xBB\xBF" "a\xFF" "b"), "a\uFFFDb");
  // An odd trailing byte of a UTF-16 file is dropped.
  EXPECT_EQ(DecodeIniBytes(std::string("\xFF\xFE" "A\0B", 5)), "A");
}

TEST_F(IniEncodingTest, RefusesFilesOverTheLimit) {
  const std::string path = Path("huge.ini");
  Write("huge.ini", "[A]\nB=1\n");
  ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(kMaxIniFileBytes) + 1), 0);
  const auto text = ReadIniFileText(path);
  ASSERT_FALSE(text.ok());
  EXPECT_NE(text.error().message.find("larger than"), std::string::npos);
  EXPECT_EQ(ReadIniString(path, "A", "B"), std::nullopt);

  ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(kMaxIniFileBytes)), 0);
  EXPECT_EQ(ReadIniString(path, "A", "B"), "1");
}

TEST_F(IniEncodingTest, RefusesSpecialFiles) {
  const std::string fifo = Path("fifo.ini");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto text = ReadIniFileText(fifo);  // must not block
  ASSERT_FALSE(text.ok());
  EXPECT_NE(text.error().message.find("not a regular file"), std::string::npos);
}

}  // namespace
}  // namespace quorvane::platform
