#include "common/log/FileTracker.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "LogFixture.h"

namespace TESKTV::LOG {
namespace {

class FileTrackerTest : public LogFixture {
 protected:
  std::string base() const { return Path("LTeskTV"); }
  void MakeFile(int k, time_t mtime, const std::string& text = "old\n") {
    const std::string path = base() + "_" + std::to_string(k) + ".log";
    WriteFile(path, text);
    const timespec times[2] = {{mtime, 0}, {mtime, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }
};

TEST_F(FileTrackerTest, NamesFilesWithUnderscoreNumber) {
  const FileTracker tracker(base(), 20480, 1);
  EXPECT_EQ(tracker.FilePath(1), base() + "_1.log");
  EXPECT_EQ(tracker.FilePath(12), base() + "_12.log");
}

TEST_F(FileTrackerTest, TakesTheFirstMissingFile) {
  MakeFile(1, 1000);
  MakeFile(3, 3000);
  FileTracker tracker(base(), 20480, 3);
  EXPECT_EQ(tracker.CurrentFile(), 2);
}

TEST_F(FileTrackerTest, FirstMissingEvenAfterOlderOnes) {
  MakeFile(1, 2000);
  MakeFile(2, 1000);
  FileTracker tracker(base(), 20480, 3);
  EXPECT_EQ(tracker.CurrentFile(), 3);
  EXPECT_EQ(ReadFile(base() + "_2.log"), "old\n");
}

TEST_F(FileTrackerTest, OverwritesTheFileWrittenLongestAgo) {
  MakeFile(1, 2000, "one\n");
  MakeFile(2, 1000, "two\n");
  MakeFile(3, 3000, "three\n");
  FileTracker tracker(base(), 20480, 3);
  EXPECT_EQ(tracker.CurrentFile(), 2);
  EXPECT_EQ(ReadFile(base() + "_2.log"), "");  // truncated on open
  EXPECT_EQ(ReadFile(base() + "_1.log"), "one\n");
  EXPECT_EQ(ReadFile(base() + "_3.log"), "three\n");
}

TEST_F(FileTrackerTest, EqualTimesGoToTheLowerNumber) {
  MakeFile(1, 5000);
  MakeFile(2, 1000);
  MakeFile(3, 1000);
  EXPECT_EQ(FileTracker(base(), 20480, 3).CurrentFile(), 2);
  MakeFile(1, 1000);
  MakeFile(2, 1000);
  EXPECT_EQ(FileTracker(base(), 20480, 3).CurrentFile(), 1);
}

TEST_F(FileTrackerTest, MovesOnOnlyWhenPastTheMaximumSize) {
  const std::string line(49, 'a');  // 50 bytes with the line end
  FileTracker tracker(base(), 100, 2);
  ASSERT_EQ(tracker.CurrentFile(), 1);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(tracker.Prepare(), 1);
    EXPECT_EQ(tracker.Write(line), 1);
  }
  // 100 bytes is not past 100: the third line still went to file 1.
  EXPECT_EQ(tracker.CurrentFile(), 1);
  EXPECT_EQ(ReadFile(base() + "_1.log").size(), 150u);
  tracker.Prepare();
  EXPECT_EQ(tracker.CurrentFile(), 2);
  tracker.Write("next");
  EXPECT_EQ(ReadFile(base() + "_2.log"), "next\n");
  EXPECT_EQ(ReadFile(base() + "_1.log").size(), 150u);
}

TEST_F(FileTrackerTest, SingleFileIsTruncatedAndReused) {
  FileTracker tracker(base(), 10, 1);
  tracker.Prepare();
  tracker.Write("first line, longer than ten");
  tracker.Prepare();
  tracker.Write("second");
  EXPECT_EQ(tracker.CurrentFile(), 1);
  EXPECT_EQ(ReadFile(base() + "_1.log"), "second\n");
}

TEST_F(FileTrackerTest, UnopenableFileLeavesTheSinkClosed) {
  FileTracker tracker(Path("no/such/folder/LTeskTV"), 20480, 1);
  EXPECT_EQ(tracker.CurrentFile(), 0);
  EXPECT_EQ(tracker.Prepare(), 1);
  EXPECT_EQ(tracker.Write("lost"), 0);
}

}  // namespace
}  // namespace TESKTV::LOG
