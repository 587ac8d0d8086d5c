#include "iepg/ExchangeFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <thread>

#include "tests/iepg/IepgTestSupport.h"

namespace quorvane::iepg {
namespace {

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

TEST(ExchangeFolderTest, CreatedFolderIsOpenToEveryAccountWithTheStickyBit) {
  ::quorvane::testing::TempDir dir;
  const mode_t previous = ::umask(022);
  const auto created = CreateExchangeFolder(dir.File("a/b/iepg") + "/");
  ::umask(previous);
  ASSERT_TRUE(created.ok()) << created.error().message;
  EXPECT_EQ(ModeOf(dir.File("a/b/iepg")), 01777u);
  EXPECT_EQ(ModeOf(dir.File("a")), 0755u);
}

TEST(ExchangeFolderTest, ExistingFolderIsLeftAsItIsAndAFileInTheWayIsAnError) {
  ::quorvane::testing::TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("own").c_str(), 0700), 0);
  EXPECT_TRUE(CreateExchangeFolder(dir.File("own") + "/").ok());
  EXPECT_EQ(ModeOf(dir.File("own")), 0700u);

  testing::WriteText(dir.File("file"), "x");
  EXPECT_FALSE(CreateExchangeFolder(dir.File("file") + "/").ok());
  EXPECT_FALSE(CreateExchangeFolder("").ok());
}

TEST(ExchangeFolderTest, RecordNameIsTheDataPathFollowedDirectlyByTheNumber) {
  EXPECT_EQ(RecordFilePath("/var/tmp/iepg/", 103), "/var/tmp/iepg/103.iepg");
  EXPECT_EQ(RecordFilePath("/var/tmp/iepg", 7), "/var/tmp/iepg7.iepg");
}

TEST(ExchangeFolderTest, RandomStartIsTheFirstNumberOfTheSeededGenerator) {
  // The C runtime's rand() after srand(1) and srand(0).
  EXPECT_EQ(SeededRandomStart(1), 41u);
  EXPECT_EQ(SeededRandomStart(0), 38u);
  for (std::uint32_t seed : {12345u, 1767225600u, 0xFFFFFFFFu}) EXPECT_LE(SeededRandomStart(seed), 32767u);
}

TEST(ExchangeFolderTest, TakenNamesAndLinksAreSkippedAndNeverFollowed) {
  ::quorvane::testing::TempDir dir;
  const std::string data = dir.File("x") + "/";
  ASSERT_TRUE(CreateExchangeFolder(data).ok());
  testing::WriteText(data + "101.iepg", "earlier record");
  testing::WriteText(data + "102.iepg", "");
  std::filesystem::create_symlink(dir.File("elsewhere"), data + "103.iepg");

  auto reserved = ReserveRecordFile(data, 101);
  ASSERT_TRUE(reserved.ok()) << reserved.error().message;
  EXPECT_EQ(reserved->number, 104);
  EXPECT_EQ(reserved->path, data + "104.iepg");
  EXPECT_EQ(std::filesystem::file_size(reserved->path), 0u);
  EXPECT_EQ(testing::ReadText(data + "101.iepg"), "earlier record");
  EXPECT_FALSE(std::filesystem::exists(dir.File("elsewhere")));

  EXPECT_FALSE(ReserveRecordFile(dir.File("missing") + "/", 1).ok());
}

TEST(ExchangeFolderTest, HandlersStartingFromTheSameNumberGetDifferentRecords) {
  ::quorvane::testing::TempDir dir;
  const std::string data = dir.File("x") + "/";
  ASSERT_TRUE(CreateExchangeFolder(data).ok());
  constexpr int kHandlers = 4;
  constexpr int kEach = 25;
  std::vector<std::vector<std::int32_t>> numbers(kHandlers);
  std::vector<std::thread> handlers;
  for (int h = 0; h < kHandlers; ++h) {
    handlers.emplace_back([&, h] {
      for (int i = 0; i < kEach; ++i) {
        auto reserved = ReserveRecordFile(data, 500);
        if (reserved) numbers[h].push_back(reserved->number);
      }
    });
  }
  for (auto& handler : handlers) handler.join();
  std::set<std::int32_t> all;
  for (const auto& list : numbers) all.insert(list.begin(), list.end());
  EXPECT_EQ(all.size(), static_cast<std::size_t>(kHandlers * kEach));
  EXPECT_EQ(*all.begin(), 500);
  EXPECT_EQ(*all.rbegin(), 500 + kHandlers * kEach - 1);
}

}  // namespace
}  // namespace quorvane::iepg
