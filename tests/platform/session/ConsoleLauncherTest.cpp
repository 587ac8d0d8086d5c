#include "platform/session/ConsoleLauncher.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/TempDir.h"

namespace quorvane::platform {
namespace {

using namespace std::chrono_literals;

// A program that writes where it ran, as whom, with which arguments and
// environment, to "out" in its own folder.
std::string WriteProbe(const testing::TempDir& dir) {
  const std::string program = dir.File("probe");
  std::ofstream(program) << "#!/bin/sh\n"
                            "{ pwd; id -u; echo \"HOME=$HOME\"; echo \"SECRET=$QUORVANE_LAUNCHER_SECRET\";\n"
                            "  for a in \"$@\"; do echo \"arg=$a\"; done; } > out.tmp && mv out.tmp out\n";
  ::chmod(program.c_str(), 0755);
  ::chmod(dir.path().c_str(), 0777);
  return program;
}

// The probe's report, once it has written it (the child runs by itself).
std::string WaitForReport(const testing::TempDir& dir) {
  for (int i = 0; i < 500; ++i) {
    std::ifstream in(dir.File("out"));
    if (in) {
      std::stringstream text;
      text << in.rdbuf();
      return text.str();
    }
    std::this_thread::sleep_for(10ms);
  }
  return {};
}

TEST(ConsoleLauncherTest, TheOwnUserIsStartedInTheProgramsFolderWithTheArgumentsAsGiven) {
  testing::TempDir dir;
  LaunchRequest request;
  request.program = WriteProbe(dir);
  request.args = {"-startr2:\"123.ts\" -folder:\"/srv/a b\" ", "$HOME; rm -rf /"};
  ConsoleSessionLauncher launcher;
  ASSERT_TRUE(launcher.Launch(LookUpConsoleUser(::geteuid()), request));
  EXPECT_EQ(launcher.LastRoute(), ConsoleSessionLauncher::Route::kSpawn);
  const std::string report = WaitForReport(dir);
  char real[PATH_MAX];
  ASSERT_NE(::realpath(dir.path().c_str(), real), nullptr);
  EXPECT_EQ(report, std::string(real) + "\n" + std::to_string(::geteuid()) + "\nHOME=" + std::getenv("HOME") +
                        "\nSECRET=\narg=-startr2:\"123.ts\" -folder:\"/srv/a b\" \narg=$HOME; rm -rf /\n");
}

TEST(ConsoleLauncherTest, RootStartsTheProgramAsTheConsoleUserWithThatUsersEnvironment) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root";
  const passwd* nobody = ::getpwnam("nobody");
  if (nobody == nullptr) GTEST_SKIP() << "no account \"nobody\"";
  testing::TempDir dir;
  LaunchRequest request;
  request.program = WriteProbe(dir);
  request.args = {"one arg"};
  ::setenv("QUORVANE_LAUNCHER_SECRET", "service-only", 1);
  ConsoleSessionLauncher launcher("");  // no user manager here
  ASSERT_TRUE(launcher.Launch(LookUpConsoleUser(nobody->pw_uid), request));
  ::unsetenv("QUORVANE_LAUNCHER_SECRET");
  EXPECT_EQ(launcher.LastRoute(), ConsoleSessionLauncher::Route::kForkAsUser);
  const std::string report = WaitForReport(dir);
  EXPECT_NE(report.find("\n" + std::to_string(nobody->pw_uid) + "\n"), std::string::npos) << report;
  EXPECT_NE(report.find("HOME=" + std::string(nobody->pw_dir) + "\n"), std::string::npos) << report;
  EXPECT_NE(report.find("SECRET=\n"), std::string::npos) << report;
  EXPECT_NE(report.find("arg=one arg\n"), std::string::npos) << report;
}

TEST(ConsoleLauncherTest, WhatCannotBeStartedIsAClearError) {
  ConsoleSessionLauncher launcher;
  LaunchRequest request;
  EXPECT_FALSE(launcher.Launch(LookUpConsoleUser(::geteuid()), request));
  request.program = "/nonexistent/TestCmd";
  const Status missing = launcher.Launch(LookUpConsoleUser(::geteuid()), request);
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.error().message.find("/nonexistent/TestCmd"), std::string::npos);
  if (::geteuid() != 0) {
    request.program = "/bin/true";
    EXPECT_FALSE(launcher.Launch(LookUpConsoleUser(::geteuid() + 1), request));
  }
}

TEST(ConsoleLauncherTest, TheProgramFolderIsThePathUpToItsLastSlash) {
  EXPECT_EQ(ProgramFolder("/opt/quorvane/bin/TestCmd"), "/opt/quorvane/bin");
  EXPECT_EQ(ProgramFolder("/TestCmd"), "/");
  EXPECT_EQ(ProgramFolder("TestCmd"), "");
}

}  // namespace
}  // namespace quorvane::platform
