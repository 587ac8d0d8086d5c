#include "platform/capture/SimulatorProtocol.h"

#include <gtest/gtest.h>

namespace quorvane::platform::simwire {
namespace {

TEST(SimulatorProtocol, WordsSurviveEscaping) {
  const std::vector<std::string> texts = {"plain", "two words", "100%", "line\nbreak", "tab\there", "Größe",
                                          "a=b=c", ""};
  std::string line = "CMD";
  for (const std::string& t : texts) line += " " + EscapeWord(Field("k", t));
  auto words = SplitLine(line);
  ASSERT_TRUE(words.ok()) << words.error().message;
  ASSERT_EQ(words->size(), texts.size() + 1);
  EXPECT_EQ(FindFields(*words, "k"), texts);
  EXPECT_EQ(line.find('\n'), std::string::npos);

  for (const char* bad : {"%", "%4", "%zz", "a%g1"}) EXPECT_FALSE(UnescapeWord(bad).ok()) << bad;
}

TEST(SimulatorProtocol, Hex) {
  const std::vector<std::uint8_t> bytes = {0x00, 0x7F, 0x80, 0xFF, 0x5A};
  EXPECT_EQ(HexEncode(bytes), "007f80ff5a");
  EXPECT_EQ(HexDecode("007F80ff5a").value(), bytes);
  EXPECT_FALSE(HexDecode("abc").ok());
  EXPECT_FALSE(HexDecode("zz").ok());
}

TEST(SimulatorProtocol, Replies) {
  auto ok = ParseReply(OkReply({Field("name", "Q311 USB"), "none"}));
  ASSERT_TRUE(ok.ok());
  EXPECT_TRUE(ok->ok);
  EXPECT_EQ(FindField(ok->words, "name"), "Q311 USB");
  EXPECT_EQ(FindField(ok->words, "nam"), std::nullopt);

  auto err = ParseReply(ErrorReply("input 9 does not exist\n(1..4) 100%"));
  ASSERT_TRUE(err.ok());
  EXPECT_FALSE(err->ok);
  EXPECT_EQ(err->error, "input 9 does not exist\n(1..4) 100%");

  EXPECT_TRUE(ParseReply("OK").value().ok);
  EXPECT_FALSE(ParseReply("HELLO there").ok());
  EXPECT_FALSE(ParseReply("OKAY").ok());
}

}  // namespace
}  // namespace quorvane::platform::simwire
