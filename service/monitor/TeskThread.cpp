#include "service/monitor/TeskThread.h"

#include <algorithm>
#include <system_error>

namespace TESKTV::THREAD {

namespace platform = quorvane::platform;
using namespace std::chrono_literals;

namespace {

constexpr auto kSlice = 500ms;
constexpr auto kCompatibilityPause = 1000ms;

}  // namespace

TeskThread::TeskThread(platform::Clock& clock, bool is64BitSystem)
    : clock_(clock),
      is64BitSystem_(is64BitSystem),
      waitStop_(clock, platform::ClockEvent::ResetMode::kManual, true),
      runStop_(clock, platform::ClockEvent::ResetMode::kManual, true),
      exited_(clock, platform::ClockEvent::ResetMode::kManual, true) {}

TeskThread::~TeskThread() { Stop(); }

bool TeskThread::Start() {
  if (thread_.Joinable()) {
    if (!exited_.IsSet()) return false;
    thread_.Join();
  }
  // Reset here rather than in the thread, so that a Stop right after Start
  // is not lost.
  waitStop_.Reset();
  runStop_.Reset();
  exited_.Reset();
  try {
    thread_ = platform::ClockThread(clock_, [this] { Body(); });
  } catch (const std::system_error&) {
    exited_.Set();
    return false;
  }
  return true;
}

void TeskThread::Body() {
  Run();
  exited_.Set();
}

bool TeskThread::Stop() {
  if (!thread_.Joinable()) return true;
  if (!exited_.IsSet()) {
    waitStop_.Set();
    runStop_.Set();
  }
  thread_.Join();
  return true;
}

bool TeskThread::IsRunning() const { return !exited_.IsSet(); }

bool TeskThread::StopRequested() const { return runStop_.IsSet(); }

bool TeskThread::Pause(std::chrono::milliseconds duration) {
  return !waitStop_.WaitUntil(clock_.DeadlineAfter(duration));
}

void TeskThread::WaitTimed(std::chrono::milliseconds duration) {
  if (is64BitSystem_) {
    if (!Pause(kCompatibilityPause)) return;
    duration -= kCompatibilityPause;
  }
  const platform::WallTime begin = clock_.Wall();
  const platform::WallTime due = begin + duration;
  const platform::MonoTime monoDue = clock_.DeadlineAfter(duration);
  if (duration <= kSlice) {
    waitStop_.WaitUntil(monoDue);
    return;
  }
  for (;;) {
    const platform::MonoTime slice = std::min(clock_.DeadlineAfter(kSlice), monoDue);
    if (waitStop_.WaitUntil(slice)) return;
    const platform::WallTime now = clock_.Wall();
    if (now >= due || now < begin || clock_.Mono() >= monoDue) return;
  }
}

}  // namespace TESKTV::THREAD
