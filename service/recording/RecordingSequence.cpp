#include "service/recording/RecordingSequence.h"

#include <chrono>
#include <cstdlib>

#include "common/settings/SettingsStore.h"
#include "platform/base/Utf16.h"
#include "platform/debug/DebugOutput.h"
#include "service/recording/RecordingCommandLine.h"

namespace TESKTV::SERVICE {

namespace platform = quorvane::platform;
using SCHEDULE::ScheduleProgram;

namespace {

constexpr char kQuorvaneKeyPath[] = "SOFTWARE\\Quorvane";
constexpr std::int32_t kStatusStarted = 1;
constexpr std::int32_t kStatusSkipped = 2;
// A repeat of TESK_ACTIVE_SCHEDULE comes within the monitor's 30-second
// window of the same start.
constexpr std::int64_t kRepeatWindowSeconds = 60;

}  // namespace

RecordingSequence::RecordingSequence(RecordingWindow& window, platform::Clock& clock, ServiceLog& log,
                                     platform::RegistryLocations registry,
                                     const platform::ConsoleUserProvider& consoleUsers,
                                     platform::ProgramLauncher& launcher)
    : window_(window),
      clock_(clock),
      log_(log),
      registry_(std::move(registry)),
      consoleUsers_(consoleUsers),
      launcher_(launcher) {}

std::int64_t RecordingSequence::Now() const {
  return std::chrono::floor<std::chrono::seconds>(clock_.Wall().time_since_epoch()).count();
}

void RecordingSequence::OnActiveAP(const ScheduleProgram& record) {
  if (preparing_) return;
  preparing_ = true;
  const platform::MonoTime t0 = clock_.Mono();

  if (window_.InitializeBox(record)) deviceOccupied_ = true;
  log_.Printf("[Wakeward][CScheduleWnd][WindowProc] InitializeBox: %d %d %d %d", record.GetInSource(),
              std::atoi(record.GetMajorCh().c_str()), std::atoi(record.GetMinorCh().c_str()), record.GetDeviceNum());

  const std::int64_t d = std::chrono::floor<std::chrono::seconds>(clock_.Mono() - t0).count();
  log_.Printf("[Wakeward][CScheduleWnd][WindowProc] TimeSpan: %d", static_cast<int>(d));

  const std::int64_t full = static_cast<std::int64_t>(record.GetTimeLen()) * 60;
  // Box control that overran the minute before the start eats into the
  // recording, which still ends when the schedule does.
  limit_ = d < 61 ? full : full - d + 60;

  const RecordingCommandLine built = BuildRecordingCommandLine(record, limit_);
  if (built.descriptionShortened || built.argumentsDropped) {
    log_.Printf("[Wakeward][CScheduleWnd][WindowProc] command line cut to %zu characters",
                platform::Utf16Length(built.text));
  }
  log_.Printf("[Wakeward][CScheduleWnd][WindowProc] TESK_ACTIVE_AP: %s %s", record.GetAPPath().c_str(),
              built.text.c_str());

  ScheduleProgram started = record.Clone();
  started.SetRecordStatus(kStatusStarted);
  if (!window_.StoreRecord(started)) {
    log_.Write("[Wakeward][CScheduleWnd][WindowProc] TESK_ACTIVE_AP: status not stored");
  }

  commandLine_ = built.text;
  eAction_ = record.GetEAction();
  timelen_ = record.GetTimeLen();
  if (d <= 55) recordStart_ = Now() + 60 - d;

  if (deviceOccupied_) return;  // TESK_ACTIVE_SCHEDULE decides
  if (d < 56) {
    window_.StartWaitTimer();
  } else {
    StartToRec();
  }
}

void RecordingSequence::OnWaitTimer() {
  log_.Write("[Wakeward][CScheduleWnd][OnTimer] Entry");
  log_.Write("[Wakeward][CScheduleWnd][OnTimer] Wait for Rec");
  if (recordStart_ > Now()) return;
  window_.KillWaitTimer();
  StartToRec();
}

void RecordingSequence::OnActiveSchedule(const ScheduleProgram& record) {
  log_.Write("[Wakeward][CScheduleWnd][WindowProc] TESK_ACTIVE_SCHEDULE: event");
  if (record.GetRecordStatus() == kStatusSkipped) return;

  if (deviceOccupied_) {
    const std::optional<bool> occupied = window_.IsDeviceOccupied(record.GetDeviceNum());
    if (!occupied) return;
    if (*occupied) {
      ScheduleProgram skipped = record.Clone();
      skipped.SetRecordStatus(kStatusSkipped);
      if (!window_.StoreRecord(skipped)) {
        log_.Write("[Wakeward][CScheduleWnd][WindowProc] TESK_ACTIVE_SCHEDULE: status not stored");
      }
      deviceOccupied_ = false;
      preparing_ = false;
      return;
    }
    deviceOccupied_ = false;
    StartToRec();
    preparing_ = false;
  } else {
    preparing_ = false;
  }

  if (!window_.HasApControl() || record.GetID() == SCHEDULE::kWakeUpOnlyId) return;
  const std::int64_t now = Now();
  if (record.GetID() == lastActivatedId_ && now - lastActivatedAt_ < kRepeatWindowSeconds) return;
  lastActivatedId_ = record.GetID();
  lastActivatedAt_ = now;
  window_.ActiveScheduleProgram(record);
}

std::string RecordingSequence::RecordingProgramPath() const {
  const quorvane::SettingsStore store(registry_);
  std::optional<std::string> folder = store.ReadString(platform::Hive::LocalMachine, kQuorvaneKeyPath, "AppPath");
  if (folder && (platform::Utf16Length(*folder) + 1) * 2 > kAppPathBufferBytes) {
    log_.Write("[Wakeward][CScheduleWnd][WindowProc] AppPath too long");
    folder.reset();
  }
  if (!folder || folder->empty()) folder = "AppPath";
  if (folder->back() != '/') folder->push_back('/');
  return *folder + kRecordingProgram;
}

bool RecordingSequence::LaunchInConsoleSession(const std::string& program, bool maximised,
                                               const std::string& commandLine) {
  if (program.empty()) return false;
  const std::optional<platform::ConsoleUser> user = consoleUsers_.CurrentConsoleUser();
  if (!user) {
    platform::DebugOutput("WTSGetActiveConsoleSessionId fail\n");
    return false;
  }
  if (user->name.empty()) {
    platform::DebugPrintf("WTSQueryUserToken fail, 0x%X\n", static_cast<unsigned>(user->uid));
    return false;
  }
  platform::LaunchRequest request;
  request.program = program;
  request.args = {commandLine};
  request.maximised = maximised;
  if (platform::Status started = launcher_.Launch(*user, request); !started) {
    platform::DebugPrintf("CreateProcessAsUser fail, 0x%X\n", 1u);
    platform::DebugOutput(started.error().message + "\n");
    log_.Printf("[Wakeward][CScheduleWnd][StartToRec] %s", started.error().message.c_str());
    return false;
  }
  return true;
}

void RecordingSequence::StartToRec() {
  log_.Write("[Wakeward][CScheduleWnd][StartToRec]");
  const std::string program = RecordingProgramPath();
  log_.Printf("[Wakeward][CScheduleWnd][WindowProc] Test AP: %s", program.c_str());
  (void)LaunchInConsoleSession(program, false, commandLine_);
  window_.RecordingStarted(Now() + limit_);

  switch (eAction_) {
    case 0:
    case 1:
      log_.Printf("[Wakeward][CScheduleWnd][WindowProc] Set S3/S4: %d", eAction_);
      window_.SetSleepTime(eAction_, timelen_ * 60 + 5);
      break;
    case 3:
      log_.Printf("[Wakeward][CScheduleWnd][WindowProc] Set S5: %d", eAction_);
      window_.SetSleepTime(3, timelen_ * 60 + 30);
      break;
    default:
      break;
  }
}

}  // namespace TESKTV::SERVICE
