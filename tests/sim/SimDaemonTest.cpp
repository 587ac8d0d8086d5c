// q311-sim as a process: the daemon on a temporary socket, its command-line
// front end, and the capture backend talking to it.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/capture/CaptureApi.h"
#include "platform/capture/CaptureDeviceFinder.h"
#include "platform/capture/ComPtr.h"
#include "sim/SimulatedHardware.h"

extern char** environ;

namespace quorvane::sim {
namespace {

using platform::S_OK;

std::string Binary() {
  const char* path = std::getenv("Q311_SIM_BINARY");
  return path ? path : "q311-sim";
}

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Starts the binary with the arguments; stdout and stderr go to pipes.
pid_t Spawn(const std::vector<std::string>& args, int* out_fd, int* err_fd) {
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  std::vector<char*> argv;
  std::string binary = Binary();
  argv.push_back(binary.data());
  std::vector<std::string> copy = args;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  *out_fd = out[0];
  *err_fd = err[0];
  return pid;
}

// Reads both pipes to their end.
void Drain(int out_fd, int err_fd, std::string& out, std::string& err) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  int open = 2;
  while (open > 0) {
    if (poll(fds, 2, 30000) <= 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof(buffer));
      if (n <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      } else {
        (i == 0 ? out : err).append(buffer, static_cast<std::size_t>(n));
      }
    }
  }
}

class SimDaemon : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quorvane-sim-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    socket_ = dir_ + "/run/q311-sim.sock";  // the folder does not exist yet
    ASSERT_TRUE(StartDaemon());
  }

  void TearDown() override {
    if (daemon_ > 0) {
      kill(daemon_, SIGTERM);
      waitpid(daemon_, nullptr, 0);
    }
    if (daemon_out_ >= 0) close(daemon_out_);
    std::filesystem::remove_all(dir_);
  }

  // Waits for the daemon's "serving" line: it is listening from then on.
  bool StartDaemon() {
    int err_fd = -1;
    daemon_ = Spawn({"--socket", socket_, "serve", "--seed", "11"}, &daemon_out_, &err_fd);
    close(err_fd);
    if (daemon_ <= 0) return false;
    std::string line;
    pollfd p{daemon_out_, POLLIN, 0};
    while (line.find('\n') == std::string::npos && poll(&p, 1, 10000) > 0) {
      char buffer[256];
      const ssize_t n = read(daemon_out_, buffer, sizeof(buffer));
      if (n <= 0) break;
      line.append(buffer, static_cast<std::size_t>(n));
    }
    return line == "q311-sim: serving on " + socket_ + "\n";
  }

  int StopDaemon(int signal) {
    kill(daemon_, signal);
    int status = -1;
    waitpid(daemon_, &status, 0);
    daemon_ = -1;
    close(daemon_out_);
    daemon_out_ = -1;
    return status;
  }

  CliRun Cli(std::vector<std::string> args, bool with_socket = true) {
    if (with_socket) args.insert(args.begin(), {"--socket", socket_});
    CliRun run;
    int out_fd = -1, err_fd = -1;
    const pid_t pid = Spawn(args, &out_fd, &err_fd);
    if (pid <= 0) return run;
    Drain(out_fd, err_fd, run.out, run.err);
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
  }

  std::string dir_;
  std::string socket_;
  pid_t daemon_ = -1;
  int daemon_out_ = -1;
};

TEST_F(SimDaemon, FrontEndDrivesTheSimulator) {
  CliRun run = Cli({"configure", "digits=2", "ok=0", "min-gap-ms=0"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "settings: digits=2 ok=0 hundred=0 decimal=0 commit-ms=2000 min-gap-ms=0 boot-ms=0 input=1\n");

  run = Cli({"press", "--at", "box", "POWER"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "pressed POWER\n");
  EXPECT_EQ(Cli({"press", "4", "--at=box"}).status, 0);
  EXPECT_EQ(Cli({"press", "--at", "both", "2"}).status, 0);
  EXPECT_EQ(Cli({"press", "--at", "sensor", "MENU"}).status, 0);  // the box does not see it

  run = Cli({"status"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("box:       on, channel 42\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("capture:   input 1 selected, box on input 1, signal locked\n"), std::string::npos);
  EXPECT_NE(run.out.find("occupied:  no\n"), std::string::npos);
  EXPECT_NE(run.out.find("POWER    power on, channel 1\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("2        tuned to 42\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("MENU"), std::string::npos) << run.out;

  run = Cli({"occupy", "on"});
  EXPECT_EQ(run.out, "device occupied\n");
  EXPECT_NE(Cli({"status"}).out.find("occupied:  yes\n"), std::string::npos);

  EXPECT_EQ(Cli({"reset"}).status, 0);
  run = Cli({"status"});
  EXPECT_NE(run.out.find("box:       off (channel 1 when switched on)\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("received:\n  (nothing)\n"), std::string::npos) << run.out;
}

TEST_F(SimDaemon, BadInputIsRefusedClearly) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const std::vector<Case> cases = {
      {{"press", "FOO"}, "q311-sim: unknown key \"FOO\""},
      {{"press"}, "q311-sim: press takes one key"},
      {{"press", "--at", "tv", "1"}, "expected sensor, box or both"},
      {{"configure", "digits=5"}, "q311-sim: digits=5: expected a whole number 2..4\n"},
      {{"configure", "digits=3", "bogus"}, "\"bogus\" is not SETTING=VALUE"},
      {{"configure", "colour=red"}, "unknown setting \"colour\""},
      {{"configure", "power=maybe"}, "power=maybe: expected on or off"},
      {{"occupy", "maybe"}, "occupy takes on or off"},
      {{"status", "now"}, "status takes no arguments"},
      {{"frobnicate"}, "unknown command \"frobnicate\""},
      {{}, "no command given"},
  };
  for (const Case& c : cases) {
    const CliRun run = Cli(c.args);
    EXPECT_EQ(run.status, 1) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
  // Nothing of the refused configuration was applied.
  EXPECT_NE(Cli({"status"}).out.find("digits=3 ok=0"), std::string::npos);

  const CliRun help = Cli({"--help"}, false);
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("configure SETTING=VALUE"), std::string::npos);
  EXPECT_NE(help.out.find("min-gap-ms=N"), std::string::npos);
}

TEST_F(SimDaemon, WithoutADaemon) {
  const CliRun run = Cli({"--socket", dir_ + "/none.sock", "status"}, false);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "q311-sim: no simulator is running on " + dir_ +
                         "/none.sock (start one with \"q311-sim serve\")\n");

  // A second daemon on a live socket is refused.
  const CliRun second = Cli({"serve"});
  EXPECT_EQ(second.status, 1);
  EXPECT_NE(second.err.find("already serving"), std::string::npos) << second.err;
}

TEST_F(SimDaemon, CaptureBackendThroughTheSocket) {
  ::setenv("QUORVANE_SIM_SOCKET", socket_.c_str(), 1);
  ::setenv("QUORVANE_SYSFS_ROOT", (dir_ + "/no-sysfs").c_str(), 1);
  platform::CaptureDeviceFinder finder;
  ASSERT_EQ(finder.Enumerate(), std::vector<std::string>{kSimulatedFriendlyName});
  ASSERT_EQ(finder.Select(1), S_OK);
  const platform::CaptureFilter* filter = finder.Filter();

  platform::ComPtr<platform::IRemoteLearning> learning;
  ASSERT_EQ(platform::CreateRemoteLearning(filter, learning.Put()), S_OK);
  ASSERT_EQ(learning->IRInit(filter), S_OK);
  auto learn = [&](const char* key) {
    EXPECT_EQ(learning->StartLearning(), S_OK);
    const CliRun run = Cli({"press", "--at", "sensor", key});
    EXPECT_EQ(run.out, std::string("pressed ") + key + " (the sensor took the code)\n");
    platform::IrCodeBytes code{};
    EXPECT_EQ(learning->GetLearnedCode(code.data(), 512), S_OK);
    return code;
  };
  const platform::IrCodeBytes power = learn("POWER");
  const platform::IrCodeBytes power_again = learn("POWER");
  std::int32_t same = 0;
  ASSERT_EQ(learning->CompareCode(power.data(), 512, power_again.data(), 512, &same), S_OK);
  EXPECT_NE(same, 0);

  platform::ComPtr<platform::ITeskUSBHDAPI> api;
  ASSERT_EQ(learning.As(&api), S_OK);
  ASSERT_EQ(api->Init(filter), S_OK);
  ASSERT_EQ(api->SetInputSource(1), S_OK);
  EXPECT_EQ(api->SetInputSource(5), platform::E_INVALIDARG);
  ASSERT_EQ(learning->SendIRCode(power.data(), 512), S_OK);
  std::int32_t locked = 0, format = 0;
  ASSERT_EQ(api->DetectInputVideoFmt(&locked, &format), S_OK);
  EXPECT_EQ(locked, 1);
  EXPECT_NE(Cli({"status"}).out.find("signal locked"), std::string::npos);

  ASSERT_EQ(Cli({"occupy", "on"}).status, 0);
  std::int32_t occupied = 0;
  ASSERT_EQ(api->IsDeviceOccupied(&occupied), S_OK);
  EXPECT_EQ(occupied, 1);
  EXPECT_EQ(learning->StartLearning(), platform::E_FAIL);

  // The backend's connection survives a restart of the daemon.
  EXPECT_EQ(Cli({"stop"}).out, "simulator stopped\n");
  int status = -1;
  waitpid(daemon_, &status, 0);
  daemon_ = -1;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(std::filesystem::exists(socket_));
  EXPECT_EQ(api->IsDeviceOccupied(&occupied), platform::E_FAIL);
  EXPECT_TRUE(finder.Enumerate().empty());

  close(daemon_out_);
  ASSERT_TRUE(StartDaemon());
  ASSERT_EQ(api->IsDeviceOccupied(&occupied), S_OK);
  EXPECT_EQ(occupied, 0);
}

TEST_F(SimDaemon, EndsOnSigtermAndRemovesItsSocket) {
  ASSERT_TRUE(std::filesystem::exists(socket_));
  const int status = StopDaemon(SIGTERM);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(std::filesystem::exists(socket_));
}

}  // namespace
}  // namespace quorvane::sim
