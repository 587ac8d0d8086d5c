// The TestCmd program as the service starts it: exit codes and SIGTERM.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/TempDir.h"

namespace {

struct Child {
  pid_t pid = -1;
  int out = -1;  // the child's stdout
  int err = -1;  // the child's stderr
};

Child Spawn(const std::vector<std::string>& args) {
  const char* program = std::getenv("QUORVANE_TESTCMD");
  Child child;
  if (program == nullptr) {
    ADD_FAILURE() << "QUORVANE_TESTCMD is not set";
    return child;
  }
  int outPipe[2], errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe";
    return child;
  }
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(outPipe[1], STDOUT_FILENO);
    ::dup2(errPipe[1], STDERR_FILENO);
    // argv[0] is the first option, as the service starts it.
    ::execv(program, argv.data());
    ::_exit(127);
  }
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  child.pid = pid;
  child.out = outPipe[0];
  child.err = errPipe[0];
  return child;
}

// Reads `fd` until `text` has come (or the end, or 10 s without output).
std::string ReadUntil(int fd, const std::string& text) {
  std::string data;
  char buffer[4096];
  while (text.empty() || data.find(text) == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 10000) <= 0) break;
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    data.append(buffer, static_cast<std::size_t>(n));
  }
  return data;
}

int Wait(Child& child) {
  int status = 0;
  while (::waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
  }
  ::close(child.out);
  ::close(child.err);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(TestCmdProcess, SigtermEndsTheRecordingCleanly) {
  quorvane::testing::TempDir temp;
  Child child = Spawn({"-startr2:123.ts", "-startr2:Late Show.ts", "-limit:3600", "-vinput:0", "-cbr:1",
                       "-vbaver:80", "-aoutfmt:1", "-abindex:32", "-folder:" + temp.path()});
  ASSERT_GT(child.pid, 0);
  const std::string started = ReadUntil(child.out, "writing ");
  ASSERT_NE(started.find("writing " + temp.path() + "/Late Show.ts"), std::string::npos) << started;
  ::kill(child.pid, SIGTERM);
  const std::string rest = ReadUntil(child.out, "");
  EXPECT_EQ(Wait(child), 0);
  EXPECT_NE(rest.find("stopped (SIGTERM)"), std::string::npos) << rest;

  std::ifstream log(temp.path() + "/Late Show.log");
  std::ostringstream text;
  text << log.rdbuf();
  EXPECT_EQ(text.str(), started + rest);
  EXPECT_EQ(std::filesystem::file_size(temp.path() + "/Late Show.ts") % 188, 0u);
}

TEST(TestCmdProcess, ExitCodes) {
  quorvane::testing::TempDir temp;
  Child done = Spawn({"-startr2:123.ts", "-startr2:Short.ts", "-limit:0", "-folder:" + temp.path()});
  ASSERT_GT(done.pid, 0);
  EXPECT_NE(ReadUntil(done.out, "").find("recording ended after 0.000 s: 0 bytes in 1 piece(s)"), std::string::npos);
  EXPECT_EQ(Wait(done), 0);
  EXPECT_TRUE(std::filesystem::exists(temp.path() + "/Short.ts"));

  Child bad = Spawn({"/usr/bin/TestCmd", "-startr2:x.ts", "-limit:soon", "-folder:" + temp.path()});
  ASSERT_GT(bad.pid, 0);
  const std::string message = ReadUntil(bad.err, "");
  EXPECT_EQ(Wait(bad), 2);
  EXPECT_NE(message.find("TestCmd: option -limit needs a whole number, not \"soon\""), std::string::npos) << message;
}

}  // namespace
