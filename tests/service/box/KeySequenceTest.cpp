// Which keys tune a box to a channel, by the way the box takes numbers.

#include "service/box/KeySequence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/base/Utf16.h"

#include "platform/clock/SimulatedClock.h"
#include "platform/debug/DebugOutput.h"
#include "tests/service/box/LogFile.h"
#include "tests/support/TempDir.h"

namespace TESKTV::SERVICE {
namespace {

// A table whose slot k holds a code whose first byte is k + 1.
KeyTable NumberedTable() {
  KeyTable table{};
  for (std::size_t k = 0; k < table.size(); ++k) table[k][0] = static_cast<std::uint8_t>(k + 1);
  return table;
}

std::vector<int> Slots(const KeySequence& sequence) {
  return std::vector<int>(sequence.slots.begin(), sequence.slots.begin() + std::max(sequence.fireNum, 0));
}

TEST(KeySequence, KeyIndexAndDigitWidth) {
  EXPECT_EQ(KeyIndex(u'0'), 0);
  EXPECT_EQ(KeyIndex(u'1'), 1);
  EXPECT_EQ(KeyIndex(u'9'), 9);
  for (char16_t other : {u'a', u' ', u'.', u'/', u':', u'\u0663' /* Arabic-Indic three */}) {
    EXPECT_EQ(KeyIndex(other), 0) << static_cast<int>(other);
  }
  EXPECT_EQ(DigitWidth(2), 4);
  EXPECT_EQ(DigitWidth(1), 3);
  for (std::uint32_t other : {0u, 3u, 0xFFFFFFFFu}) EXPECT_EQ(DigitWidth(other), 2) << other;
}

struct SequenceCase {
  const char16_t* major;
  const char16_t* minor;
  ChannelStyle style;
  std::vector<int> slots;
};

TEST(KeySequence, ChannelKeysByEntryStyle) {
  const ChannelStyle w3ok{3, true, false};
  const ChannelStyle w3{3, false, false};
  const ChannelStyle w2ok{2, true, false};
  const ChannelStyle hundred{3, true, true};
  const ChannelStyle hundredW4{4, true, true};
  const SequenceCase cases[] = {
      {u"7", u"", w3ok, {7, 10}},                            // short number, then OK/Enter
      {u"7", u"", w3, {7}},                                  // a box that needs no OK
      {u"123", u"", hundred, {12, 2, 3}},                    // +100 for the leading 1
      {u"223", u"", hundred, {2, 2, 3}},
      {u"123", u"", w3ok, {1, 2, 3}},                        // no +100 key
      {u"123", u"", hundredW4, {12, 2, 3}},                  // the +100 rule sends no OK
      {u"13", u"2", w2ok, {1, 3, 13, 2}},                    // major, dot, minor; no OK
      {u"105", u"1", hundred, {12, 0, 5, 13, 1}},
      {u"1234", u"", w2ok, {1, 2, 3, 4}},                    // longer than the width
      {u"12", u"", w2ok, {1, 2}},
      {u"1a", u"", w3, {1, 0}},                              // a non-digit sends 0
      {u"", u"", w3ok, {10}},
      {u"12345", u"987", hundred, {1, 2, 3, 4, 5, 13, 9, 8, 7}},  // the longest texts
  };
  const KeyTable table = NumberedTable();
  ServiceLog quiet;
  for (const auto& c : cases) {
    KeySequence sequence;
    BuildKeySequence(table, c.major, c.minor, c.style, quiet, sequence);
    EXPECT_EQ(Slots(sequence), c.slots) << "major " << quorvane::platform::ToUtf8(c.major);
    for (int i = 0; i < sequence.fireNum; ++i) {
      EXPECT_EQ(sequence.codes[static_cast<std::size_t>(i)], table[static_cast<std::size_t>(c.slots[i])]);
    }
    EXPECT_EQ(sequence.power, table[11]);
  }
}

TEST(KeySequence, AppendNeverRunsPastTheSequence) {
  const KeyTable table = NumberedTable();
  KeySequence sequence;
  for (int i = 0; i < 20; ++i) sequence.Append(table, 1);
  EXPECT_EQ(sequence.fireNum, static_cast<int>(kSequenceKeys));
}

TEST(KeySequence, DigitSlotsAreLoggedByTheirPart) {
  quorvane::testing::TempDir folder;
  quorvane::platform::SimulatedClock clock;
  quorvane::platform::DebugCapture debug;
  ServiceLog log;
  testing::OpenTestLog(log, folder.path(), clock);
  const KeyTable table = NumberedTable();
  KeySequence sequence;
  BuildKeySequence(table, u"13", u"2", ChannelStyle{2, true, false}, log, sequence);
  BuildKeySequence(table, u"123", u"", ChannelStyle{3, true, true}, log, sequence);
  BuildKeySequence(table, u"7", u"", ChannelStyle{3, true, false}, log, sequence);
  // The dot, OK and the +100 key are not logged.
  EXPECT_EQ(testing::LogTexts(folder.path()),
            (std::vector<std::string>{"J=1", "J=3", "K=2", "I=2", "I=3", "I=7"}));
}

}  // namespace
}  // namespace TESKTV::SERVICE
