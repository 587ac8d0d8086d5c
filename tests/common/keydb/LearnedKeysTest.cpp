// The key set the wizard stores for each combination of device settings,
// compared byte for byte with files put together from the format's offsets.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/keydb/KeyFile.h"
#include "common/keydb/LearnedKeys.h"
#include "tests/common/keydb/KeyFileTestSupport.h"
#include "tests/support/TempDir.h"

namespace quorvane::keydb {
namespace {

using testing::CodeFor;
using testing::ExpectedKeyFile;

// A learned record of `position` with row id `id`, or a filler.
std::pair<std::int32_t, KeyCode> Learned(int position, std::int32_t id) { return {id, CodeFor(position)}; }
std::pair<std::int32_t, KeyCode> Filler() { return {99, KeyCode{}}; }

std::vector<std::pair<std::int32_t, KeyCode>> Digits() {
  std::vector<std::pair<std::int32_t, KeyCode>> records;
  for (int digit = 0; digit < 10; ++digit) records.push_back(Learned(digit, digit));
  return records;
}

std::vector<std::pair<std::int32_t, KeyCode>> DigitsThen(std::vector<std::pair<std::int32_t, KeyCode>> rest) {
  auto records = Digits();
  records.insert(records.end(), rest.begin(), rest.end());
  return records;
}

LearnedCodes AllCodes() {
  LearnedCodes codes;
  for (int position = 0; position < kKeyPositionCount; ++position) codes[position] = CodeFor(position);
  return codes;
}

struct LearningCase {
  const char* name;
  DeviceKeySettings settings;  // inputType, digital, hundredKey, displayMode
  std::vector<int> rows;       // positions of the learning rows
  std::vector<std::pair<std::int32_t, KeyCode>> records;
};

std::vector<LearningCase> LearningCases() {
  const std::vector<int> digits = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  auto rows = [&digits](std::vector<int> keys) {
    std::vector<int> all = digits;
    all.insert(all.end(), keys.begin(), keys.end());
    return all;
  };
  return {
      {"digits and Power", {0, 0, 0, 0}, rows({11}), DigitsThen({Filler(), Learned(11, 10)})},
      {"every key", {1, 1, 1, 1}, rows({10, 11, 12, 13}),
       DigitsThen({Learned(10, 10), Learned(11, 11), Learned(12, 12), Learned(13, 13)})},
      {"OK and dot", {1, 0, 0, 1}, rows({10, 11, 13}),
       DigitsThen({Learned(10, 10), Learned(11, 11), Filler(), Learned(13, 12)})},
      {"+100 only", {0, 1, 1, 0}, rows({11, 12}), DigitsThen({Filler(), Learned(11, 10), Learned(12, 11)})},
      {"dot only", {0, 0, 0, 1}, rows({11, 13}),
       DigitsThen({Filler(), Learned(11, 10), Filler(), Learned(13, 11)})},
      {"+100 answer with four digits", {0, 2, 1, 0}, rows({11}), DigitsThen({Filler(), Learned(11, 10)})},
      {"three digits typed out", {0, 1, 0, 0}, rows({11}), DigitsThen({Filler(), Learned(11, 10)})},
      {"OK only when InputType is 1", {2, 0, 0, 2}, rows({11}), DigitsThen({Filler(), Learned(11, 10)})},
  };
}

TEST(LearnedKeys, KeyFilesForEachDeviceSetting) {
  quorvane::testing::TempDir dir;
  for (const LearningCase& c : LearningCases()) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(PresentKeyPositions(c.settings), c.rows);
    // Codes of keys the box does not use are ignored.
    auto list = BuildLearnedKeyList(c.settings, AllCodes());
    ASSERT_TRUE(list.ok()) << list.error().message;
    const std::string path = dir.File("keys.txt");
    ASSERT_EQ(WriteKeyFile(path, *list).outcome, KeyFileWriteOutcome::Written);
    EXPECT_EQ(testing::ReadBytes(path), ExpectedKeyFile(c.records));
  }
}

TEST(LearnedKeys, APresentKeyWithoutCodeIsAnError) {
  LearnedCodes codes = AllCodes();
  codes[kKeyDot].reset();
  EXPECT_FALSE(BuildLearnedKeyList({0, 0, 0, 1}, codes).ok());
  EXPECT_TRUE(BuildLearnedKeyList({0, 0, 0, 0}, codes).ok());
}

TEST(LearnedKeys, AppendingRowByRowPlacesEachKeyOnItsPosition) {
  CRemoteKeyList list;
  for (int digit = 0; digit < 10; ++digit) ASSERT_TRUE(AppendLearnedKey(list, digit, digit, CodeFor(digit)));
  ASSERT_TRUE(AppendLearnedKey(list, kKeyDot, 10, CodeFor(kKeyDot)));
  ASSERT_EQ(list.size(), 14u);
  for (int position : {kKeyOk, kKeyPower, kKeyHundred}) EXPECT_EQ(list[position], CKeyList::Filler());
  EXPECT_EQ(list[kKeyDot], (CKeyList{10, CodeFor(kKeyDot)}));

  // A position already behind the list, or outside the 14, changes nothing.
  EXPECT_FALSE(AppendLearnedKey(list, kKeyPower, 11, CodeFor(kKeyPower)));
  EXPECT_FALSE(AppendLearnedKey(list, kKeyPositionCount, 11, CodeFor(0)));
  CRemoteKeyList empty;
  EXPECT_FALSE(AppendLearnedKey(empty, -1, 0, CodeFor(0)));
  EXPECT_EQ(list.size(), 14u);
  EXPECT_TRUE(empty.empty());
}

}  // namespace
}  // namespace quorvane::keydb
