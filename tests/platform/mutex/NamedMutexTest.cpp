#include "platform/mutex/NamedMutex.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>

#include "tests/support/TempDir.h"

namespace quorvane::platform {
namespace {

using std::chrono::milliseconds;

constexpr char kName[] = "Global\\TeskIrSchedulerMutex";

class NamedMutexTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("QUORVANE_LOCK_DIR", (folder_.path() + "/locks").c_str(), 1); }
  void TearDown() override { ::unsetenv("QUORVANE_LOCK_DIR"); }

  quorvane::testing::TempDir folder_;
};

// Runs `body` in a child process; its return value is the exit code.
pid_t Child(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  return pid;
}

int ExitCode(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// A one-byte signal between the two processes.
struct Signal {
  int fds[2];
  Signal() { EXPECT_EQ(::pipe(fds), 0); }
  ~Signal() {
    ::close(fds[0]);
    ::close(fds[1]);
  }
  void Send() const { (void)!::write(fds[1], "x", 1); }
  void Receive() const {
    char c;
    (void)!::read(fds[0], &c, 1);
  }
};

TEST(LockFileStemTest, MapsCharactersOutsideTheSafeSetToUnderscore) {
  EXPECT_EQ(LockFileStem("Global\\TeskIrSchedulerMutex"), "Global_TeskIrSchedulerMutex");
  EXPECT_EQ(LockFileStem("Global\\QuorvaneMutex"), "Global_QuorvaneMutex");
  EXPECT_EQ(LockFileStem("a b/c:d.e-f_g"), "a_b_c_d.e-f_g");
  EXPECT_EQ(LockFileStem("Grüße"), "Gr__e");  // one per character, not per byte
  EXPECT_EQ(LockFileStem("../x"), ".._x");
}

TEST_F(NamedMutexTest, TheLockFolderIsMadeWorldWritableAndSticky) {
  auto mutex = NamedMutex::Create(kName, false);
  ASSERT_TRUE(mutex.ok()) << mutex.error().message;
  struct stat info {};
  ASSERT_EQ(::stat((folder_.path() + "/locks").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 01777u);
  EXPECT_EQ(::access((folder_.path() + "/locks/Global_TeskIrSchedulerMutex.owner").c_str(), F_OK), 0);
}

TEST_F(NamedMutexTest, ASecondHandleSeesTheMutexExistAndCannotTakeIt) {
  auto first = NamedMutex::Create(kName, true);
  ASSERT_TRUE(first.ok()) << first.error().message;
  EXPECT_FALSE(first->AlreadyExisted());
  EXPECT_TRUE(first->Owned());

  const pid_t child = Child([] {
    auto second = NamedMutex::Create(kName, true);
    if (!second.ok()) return 10;
    if (!second->AlreadyExisted()) return 11;
    if (second->Owned()) return 12;
    const auto start = std::chrono::steady_clock::now();
    if (second->Wait(milliseconds(100)) != MutexWait::kTimedOut) return 13;
    if (std::chrono::steady_clock::now() - start < milliseconds(100)) return 14;
    return 0;
  });
  EXPECT_EQ(ExitCode(child), 0);
}

TEST_F(NamedMutexTest, ReleaseHandsOwnershipToTheWaitingProcess) {
  auto owner = NamedMutex::Create(kName, true);
  ASSERT_TRUE(owner.ok());
  Signal waiting;
  const pid_t child = Child([&] {
    auto other = NamedMutex::Create(kName, false);
    if (!other.ok() || !other->AlreadyExisted()) return 10;
    waiting.Send();
    return other->Wait(std::nullopt) == MutexWait::kAcquired ? 0 : 11;
  });
  waiting.Receive();
  ASSERT_TRUE(owner->Release().ok());
  EXPECT_EQ(ExitCode(child), 0);
}

TEST_F(NamedMutexTest, AnOwnerThatEndsWithoutReleasingLeavesItAbandoned) {
  const pid_t child = Child([] {
    auto mutex = NamedMutex::Create(kName, true);
    if (!mutex.ok() || !mutex->Owned()) return 10;
    ::_exit(0);  // no destructor, no release: only the kernel drops the lock
  });
  ASSERT_EQ(ExitCode(child), 0);
  auto mutex = NamedMutex::Create(kName, false);
  ASSERT_TRUE(mutex.ok());
  EXPECT_FALSE(mutex->AlreadyExisted());  // nobody has it open any more
  EXPECT_EQ(mutex->Wait(milliseconds(0)), MutexWait::kAbandoned);
  ASSERT_TRUE(mutex->Release().ok());
  EXPECT_EQ(mutex->Wait(milliseconds(0)), MutexWait::kAcquired);  // a clean release leaves no mark
}

TEST_F(NamedMutexTest, ExistenceEndsWithTheLastHandle) {
  {
    auto a = NamedMutex::Create(kName, false);
    auto b = NamedMutex::Create(kName, false);  // a second handle in the same process
    ASSERT_TRUE(a.ok() && b.ok());
    EXPECT_FALSE(a->AlreadyExisted());
    EXPECT_TRUE(b->AlreadyExisted());
  }
  auto c = NamedMutex::Create(kName, true);
  ASSERT_TRUE(c.ok());
  EXPECT_FALSE(c->AlreadyExisted());
  EXPECT_TRUE(c->Owned());

  NamedMutex moved = std::move(*c);
  EXPECT_TRUE(moved.Owned());
  const pid_t child = Child([] {
    auto d = NamedMutex::Create(kName, false);
    return d.ok() && d->AlreadyExisted() && d->Wait(milliseconds(0)) == MutexWait::kTimedOut ? 0 : 1;
  });
  EXPECT_EQ(ExitCode(child), 0);
}

TEST_F(NamedMutexTest, OwnershipIsRecursiveAndReleaseNeedsOwnership) {
  auto mutex = NamedMutex::Create(kName, false);
  ASSERT_TRUE(mutex.ok());
  EXPECT_FALSE(mutex->Owned());
  EXPECT_FALSE(mutex->Release().ok());
  EXPECT_EQ(mutex->Wait(std::nullopt), MutexWait::kAcquired);
  EXPECT_EQ(mutex->Wait(milliseconds(0)), MutexWait::kAcquired);
  ASSERT_TRUE(mutex->Release().ok());
  EXPECT_TRUE(mutex->Owned());
  ASSERT_TRUE(mutex->Release().ok());
  EXPECT_FALSE(mutex->Owned());
  EXPECT_STREQ(MutexWaitName(MutexWait::kTimedOut), "WAIT_TIMEOUT");
  EXPECT_STREQ(MutexWaitName(MutexWait::kAbandoned), "WAIT_ABANDONED");
}

TEST_F(NamedMutexTest, RefusesNamesItCannotStore) {
  EXPECT_FALSE(NamedMutex::Create("", false).ok());
  EXPECT_FALSE(NamedMutex::Create(std::string(300, 'x'), false).ok());
  ::setenv("QUORVANE_LOCK_DIR", (folder_.path() + "/file").c_str(), 1);
  ASSERT_EQ(::close(::creat((folder_.path() + "/file").c_str(), 0644)), 0);
  EXPECT_FALSE(NamedMutex::Create(kName, false).ok());
}

}  // namespace
}  // namespace quorvane::platform
