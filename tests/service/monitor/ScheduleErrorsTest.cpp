#include "service/monitor/ScheduleErrors.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace TESKTV::SCHEDULE {
namespace {

TEST(ScheduleErrorsTest, EveryWordAndNumberMapsBothWaysAndOnlyOnce) {
  std::set<std::int32_t> numbers;
  std::set<std::string_view> words;
  for (const ScheduleErrorInfo& info : kScheduleErrors) {
    EXPECT_TRUE(numbers.insert(info.nErr).second) << info.nErr;
    EXPECT_TRUE(words.insert(info.word).second) << info.word;
    EXPECT_EQ(ErrorNumber(info.word), info.nErr) << info.word;
    EXPECT_EQ(ErrorWordOfNumber(info.nErr), info.word) << info.nErr;
    EXPECT_EQ(ErrorWord(info.error), info.word);
  }
  EXPECT_EQ(numbers, (std::set<std::int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
  for (int n = 1; n <= 8; ++n) EXPECT_EQ(words.count("ERROR_ID_" + std::to_string(n)), 1u) << n;
}

TEST(ScheduleErrorsTest, TheLastThreeWordsCrossTheirNumbers) {
  const std::pair<std::string_view, std::int32_t> expected[] = {
      {"ERROR_ID_1", 1}, {"ERROR_ID_2", 2}, {"ERROR_ID_3", 3}, {"ERROR_ID_4", 4},
      {"ERROR_ID_5", 5}, {"ERROR_ID_8", 6}, {"ERROR_ID_6", 7}, {"ERROR_ID_7", 8},
  };
  for (const auto& [word, number] : expected) EXPECT_EQ(ErrorNumber(word), number) << word;
  EXPECT_EQ(ErrorWord(ScheduleError::kConflict), "ERROR_ID_6");
  EXPECT_EQ(ErrorWord(ScheduleError::kNoWeekDay), "ERROR_ID_8");
}

TEST(ScheduleErrorsTest, OtherWordsMeanSuccess) {
  for (std::string_view word : {"", "Not Ready!!", "ERROR ID", "NULL NODE", "ERROR_ID_9", "error_id_1"}) {
    EXPECT_EQ(ErrorNumber(word), 0) << word;
  }
  EXPECT_EQ(ErrorWordOfNumber(9), "");
  EXPECT_EQ(ErrorWordOfNumber(-1), "");
}

}  // namespace
}  // namespace TESKTV::SCHEDULE
