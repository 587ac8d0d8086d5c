// How late the recording program runs after the recording's start time
// (one minute after the preparation began): the recording sequence on the
// real event loop and clock, window timer 4 polling every second, the real
// launcher starting TestCmd. Box control is taken to have lasted 55 s (the
// monotonic clock is moved on), the longest that still waits for the start
// on timer 4, so each recording starts about 5 s after its preparation.
// Prints the median and the maximum over the runs.
//   recording_start_bench [RUNS]   (default 20)

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/settings/SettingsStore.h"
#include "platform/clock/Clock.h"
#include "platform/loop/EventLoop.h"
#include "platform/session/ConsoleLauncher.h"
#include "platform/session/ProcessUserProvider.h"
#include "service/log/ServiceLog.h"
#include "service/recording/RecordingSequence.h"

namespace {

namespace platform = quorvane::platform;
using namespace std::chrono_literals;
using TESKTV::SCHEDULE::ScheduleProgram;

// The real clock with the monotonic time moved on by hand.
class SkippingClock final : public platform::Clock {
 public:
  platform::WallTime Wall() const override { return real_.Wall(); }
  platform::MonoTime Mono() const override { return real_.Mono() + skipped_; }
  bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable_any& cv, platform::MonoTime deadline,
                 const std::function<bool()>& done) override {
    return real_.WaitUntil(lock, cv, Real(deadline), done);
  }
  void Notify(std::condition_variable_any& cv) override { real_.Notify(cv); }
  std::optional<std::chrono::milliseconds> BlockingTimeout(platform::MonoTime deadline) const override {
    return real_.BlockingTimeout(Real(deadline));
  }
  void Skip(std::chrono::seconds by) { skipped_ += by; }

 private:
  platform::MonoTime Real(platform::MonoTime deadline) const {
    return deadline == platform::kNoDeadline ? deadline : deadline - skipped_;
  }
  platform::Clock& real_ = platform::RealClock();
  std::chrono::steady_clock::duration skipped_{0};
};

class BenchWindow final : public TESKTV::SERVICE::RecordingWindow {
 public:
  BenchWindow(SkippingClock& clock, platform::EventLoop& loop) : clock_(clock), loop_(loop) {}
  void Attach(TESKTV::SERVICE::RecordingSequence* sequence) { sequence_ = sequence; }

  bool InitializeBox(const ScheduleProgram&) override {
    clock_.Skip(55s);
    return false;
  }
  bool StoreRecord(const ScheduleProgram&) override { return true; }
  std::optional<bool> IsDeviceOccupied(int) override { return false; }
  bool HasApControl() const override { return false; }
  void ActiveScheduleProgram(const ScheduleProgram&) override {}
  void StartWaitTimer() override {
    loop_.SetTimer(4, 1000ms, [this] { sequence_->OnWaitTimer(); });
  }
  void KillWaitTimer() override { loop_.KillTimer(4); }
  void SetSleepTime(std::int32_t, std::int32_t) override {}
  void RecordingStarted(std::int64_t) override { loop_.Quit(); }

 private:
  SkippingClock& clock_;
  platform::EventLoop& loop_;
  TESKTV::SERVICE::RecordingSequence* sequence_ = nullptr;
};

double MillisecondsSince(platform::WallTime from) {
  return std::chrono::duration<double, std::milli>(platform::RealClock().Wall() - from).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  char pattern[] = "/tmp/recording-bench-XXXXXX";
  const char* root = ::mkdtemp(pattern);
  if (root == nullptr) return 1;
  const std::string dir = root;
  ::setenv("QUORVANE_MACHINE_DIR", (dir + "/machine").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
  const auto registry = platform::RegistryLocations::FromEnvironment();
  quorvane::SettingsStore(registry).WriteString(platform::Hive::LocalMachine, "SOFTWARE\\Quorvane", "AppPath",
                                                QUORVANE_TESTCMD_DIR);

  SkippingClock clock;
  auto loop = platform::EventLoop::Create(clock);
  if (!loop) return 1;
  TESKTV::SERVICE::ServiceLog log;  // switched off
  platform::ProcessUserProvider users;
  platform::ConsoleSessionLauncher launcher;
  std::vector<double> delays;
  // TestCmd writes to the output it inherits.
  std::fflush(stdout);
  const int output = ::dup(STDOUT_FILENO);
  const int quiet = ::open("/dev/null", O_WRONLY);
  if (quiet >= 0) ::dup2(quiet, STDOUT_FILENO);
  for (int run = 0; run < runs; ++run) {
    BenchWindow window(clock, **loop);
    TESKTV::SERVICE::RecordingSequence sequence(window, clock, log, registry, users, launcher);
    window.Attach(&sequence);
    ScheduleProgram record("SI_bench");
    record.SetDescription("bench " + std::to_string(run));
    record.SetRecord(dir + "/rec", "", 0);
    record.SetSchedule(0, 0, 0);  // a zero-length recording
    sequence.OnActiveAP(record);
    const platform::WallTime due{std::chrono::seconds(sequence.RecordStartTime())};
    (void)(*loop)->Run();
    // TestCmd creates its log as soon as it has read its command line.
    const std::string started = dir + "/rec/bench " + std::to_string(run) + ".log";
    bool seen = false;
    for (int i = 0; i < 5000 && !seen; ++i) {
      seen = std::filesystem::exists(started);
      if (!seen) std::this_thread::sleep_for(1ms);
    }
    if (!seen) {
      std::fprintf(stderr, "run %d: TestCmd did not start\n", run);
      continue;
    }
    delays.push_back(MillisecondsSince(due));
  }
  std::fflush(stdout);
  if (output >= 0) ::dup2(output, STDOUT_FILENO);
  std::filesystem::remove_all(dir);
  if (delays.empty()) return 1;
  std::sort(delays.begin(), delays.end());
  const double median = delays.size() % 2 == 1 ? delays[delays.size() / 2]
                                                : (delays[delays.size() / 2 - 1] + delays[delays.size() / 2]) / 2;
  std::printf("recording start delay over %zu recordings: median %.1f ms, maximum %.1f ms\n", delays.size(), median,
              delays.back());
  return 0;
}
