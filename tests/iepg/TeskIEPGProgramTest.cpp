// The TeskIEPG executable as the desktop starts it, on a private session
// bus, with every location moved into a temporary folder.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "tests/iepg/IepgTestSupport.h"
#include "tests/iepg/SchedulerWindow.h"
#include "tests/support/PrivateBus.h"

extern char** environ;

namespace quorvane::iepg {
namespace {

using testing::IepgMachine;

class TeskIEPGProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bus_.ok()) << bus_.error();
    ::setenv("QUORVANE_MACHINE_DIR", machine_.dir().File("machine").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", machine_.dir().File("config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", machine_.dir().File("share").c_str(), 1);
  }

  // Runs the handler with these words after its name; its exit status.
  int RunHandler(const std::vector<std::string>& words) {
    std::vector<std::string> all{testing::kHandlerPath};
    all.insert(all.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (auto& word : all) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(error, 0);
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, 0), pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string stderrPath() const { return machine_.dir().File("stderr.txt"); }

  ::quorvane::testing::PrivateBus bus_;
  IepgMachine machine_;
};

TEST_F(TeskIEPGProgramTest, DownloadWithSpacesInItsPathBecomesARecordTheSchedulerIsToldOf) {
  testing::SchedulerWindow scheduler;
  const std::string input = machine_.Download(
      "Guide Downloads/Late Show.tvpi",
      testing::TitanFile("tv-program-info", {{{"program-title", "Late Show"}, {"rf-channel", "12"}}}));
  // The open command passes the path unquoted: it arrives in words.
  const std::string folder = std::filesystem::path(input).parent_path().parent_path().string();
  ASSERT_EQ(RunHandler({folder + "/Guide", "Downloads/Late", "Show.tvpi"}), 0) << testing::ReadText(stderrPath());

  const auto records = machine_.RecordFiles();
  ASSERT_EQ(records.size(), 1u);
  const auto& received = scheduler.WaitFor(1);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].message, WM_IEPG_RECORD);
  EXPECT_EQ(std::to_string(received[0].lParam) + ".iepg", records[0]);
  EXPECT_EQ(testing::ReadRecord(machine_.dataPath() + records[0]).at("Title"), "Late Show");
}

TEST_F(TeskIEPGProgramTest, UsageGoesToTheUser) {
  EXPECT_EQ(RunHandler({"/?"}), 0);
  EXPECT_EQ(testing::ReadText(stderrPath()), "TeskIEPG: /R: Register TeskiEPG.\n");
}

}  // namespace
}  // namespace quorvane::iepg
