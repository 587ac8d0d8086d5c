// Kills a process that keeps saving the schedule file at random moments
// and checks that the file always holds one complete list, old or new.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <random>
#include <thread>

#include "service/schedule/ScheduleFile.h"
#include "tests/service/schedule/ScheduleTestSupport.h"

namespace TESKTV::SCHEDULE {
namespace {

// Large enough that a kill often lands in the middle of writing one.
std::array<std::vector<ScheduleProgram>, 2> TwoLists() {
  std::array<std::vector<ScheduleProgram>, 2> lists;
  for (int list = 0; list < 2; ++list) {
    const int count = list == 0 ? 50 : 40;
    for (int i = 0; i < count; ++i) {
      ScheduleProgram record("SI_" + std::string(list == 0 ? "OLD_" : "NEW_") + std::to_string(i));
      record.SetDescription("Programme " + std::to_string(i) + " of list " + std::to_string(list));
      record.SetSchedule(i % 3, 1796823000 + 3600LL * i, 30 + list);
      record.SetChannel(std::to_string(100 + i), list == 0 ? "" : "1");
      lists[list].push_back(record);
    }
  }
  return lists;
}

// A child process that saves the two lists by turns until it is killed;
// it writes one byte to `readyFd` after its first save.
pid_t StartSaver(const ScheduleFile& file, const std::array<std::vector<ScheduleProgram>, 2>& lists,
                 int& readyFd) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipeFds[0]);
    for (unsigned long round = 0;; ++round) {
      if (!file.Save(lists[round % 2]).ok()) ::_exit(1);
      if (round == 0 && ::write(pipeFds[1], "r", 1) != 1) ::_exit(1);
    }
  }
  ::close(pipeFds[1]);
  readyFd = pipeFds[0];
  return pid;
}

TEST(ScheduleFileCrash, KilledWhileSavingTheFileHoldsTheOldOrTheNewList) {
  testing::PinBerlinTime();
  testing::TempDir dir;
  const ScheduleFile file(dir.File("user.xml"));
  const auto lists = TwoLists();
  ASSERT_TRUE(file.Save(lists[0]).ok());
  const std::string oldBytes = testing::ReadFile(file.Path());
  ASSERT_TRUE(file.Save(lists[1]).ok());
  const std::string newBytes = testing::ReadFile(file.Path());
  ASSERT_NE(oldBytes, newBytes);

  // The saver's first save writes the old list; kills spread over about two
  // more saves then find either list, or a save cut short at any point.
  const auto started = std::chrono::steady_clock::now();
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(file.Save(lists[(i + 1) % 2]).ok());
  const auto saveMicros =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started).count() / 4;
  std::mt19937 random(20260329);
  std::uniform_int_distribution<long long> delayMicros(0, 2 * saveMicros + 100);
  int sawOld = 0;
  int sawNew = 0;
  for (int kill = 0; kill < 200; ++kill) {
    int readyFd = -1;
    const pid_t saver = StartSaver(file, lists, readyFd);
    ASSERT_GT(saver, 0);
    char ready = 0;
    ASSERT_EQ(::read(readyFd, &ready, 1), 1) << "saver did not start";
    ::close(readyFd);
    // The moment of the kill is what varies; the outcome must not depend on it.
    std::this_thread::sleep_for(std::chrono::microseconds(delayMicros(random)));
    ::kill(saver, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(saver, &status, 0), saver);
    ASSERT_TRUE(WIFSIGNALED(status)) << "saver ended by itself: " << status;

    const std::string bytes = testing::ReadFile(file.Path());
    const bool isOld = bytes == oldBytes;
    const bool isNew = bytes == newBytes;
    ASSERT_TRUE(isOld || isNew) << "after kill " << kill << " the file holds " << bytes.size() << " other bytes";
    sawOld += isOld;
    sawNew += isNew;
    auto contents = file.Load();
    ASSERT_TRUE(contents.ok()) << contents.error().message;
    ASSERT_EQ(contents->records.size(), isOld ? lists[0].size() : lists[1].size());
  }
  EXPECT_GT(sawOld, 0);
  EXPECT_GT(sawNew, 0);
}

}  // namespace
}  // namespace TESKTV::SCHEDULE
