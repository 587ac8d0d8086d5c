#pragma once
// The recording of one schedule, as the service window runs it on its
// thread: in the minute before the start (TESK_ACTIVE_AP) the box is
// switched on and tuned, the command line is built and the schedule is
// marked started; one minute after that preparation began the recording
// program starts as the console user and the after-record action is
// armed; at the start itself (TESK_ACTIVE_SCHEDULE) the clients hear of
// the recording. The window supplies what touches the rest of the service
// through RecordingWindow.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/clock/Clock.h"
#include "platform/registry/RegistryLocations.h"
#include "platform/session/ConsoleLauncher.h"
#include "platform/session/ConsoleUser.h"
#include "service/log/ServiceLog.h"
#include "service/schedule/ScheduleProgram.h"

namespace TESKTV::SERVICE {

class RecordingWindow {
 public:
  virtual ~RecordingWindow() = default;
  // Box control for the record's input, channel and capture device
  // (blocks); whether it found the capture device occupied.
  virtual bool InitializeBox(const SCHEDULE::ScheduleProgram& record) = 0;
  // UpdateScheduleProgram2 with file update; false when refused.
  virtual bool StoreRecord(const SCHEDULE::ScheduleProgram& record) = 0;
  // Asks the capture device again: nothing when the device or its
  // component cannot be reached; false also when the question fails.
  virtual std::optional<bool> IsDeviceOccupied(int devicenum) = 0;
  virtual bool HasApControl() const = 0;
  virtual void ActiveScheduleProgram(const SCHEDULE::ScheduleProgram& record) = 0;
  // Window timer 4, every second, calling RecordingSequence::OnWaitTimer.
  virtual void StartWaitTimer() = 0;
  virtual void KillWaitTimer() = 0;
  virtual void SetSleepTime(std::int32_t category, std::int32_t seconds) = 0;
  // The recording program was started (or tried) and runs until `end`.
  virtual void RecordingStarted(std::int64_t end) = 0;
};

class RecordingSequence {
 public:
  static constexpr char kRecordingProgram[] = "TestCmd";
  // "AppPath" is read into a buffer of 256 bytes (UTF-16, terminator
  // included); a longer value counts as missing.
  static constexpr std::size_t kAppPathBufferBytes = 256;

  // Everything given must outlive the sequence.
  RecordingSequence(RecordingWindow& window, quorvane::platform::Clock& clock, ServiceLog& log,
                    quorvane::platform::RegistryLocations registry,
                    const quorvane::platform::ConsoleUserProvider& consoleUsers,
                    quorvane::platform::ProgramLauncher& launcher);

  void OnActiveAP(const SCHEDULE::ScheduleProgram& record);
  void OnActiveSchedule(const SCHEDULE::ScheduleProgram& record);
  void OnWaitTimer();
  void StartToRec();

  // The folder of "AppPath" joined with the recording program.
  std::string RecordingProgramPath() const;
  // Starts `program` as the console user in its folder; `commandLine` is
  // its one argument, which the recording program splits itself.
  bool LaunchInConsoleSession(const std::string& program, bool maximised, const std::string& commandLine);

  bool Preparing() const { return preparing_; }
  bool DeviceOccupied() const { return deviceOccupied_; }
  const std::string& CommandLine() const { return commandLine_; }
  std::int64_t RecordStartTime() const { return recordStart_; }
  std::int64_t LimitSeconds() const { return limit_; }

 private:
  std::int64_t Now() const;

  RecordingWindow& window_;
  quorvane::platform::Clock& clock_;
  ServiceLog& log_;
  const quorvane::platform::RegistryLocations registry_;
  const quorvane::platform::ConsoleUserProvider& consoleUsers_;
  quorvane::platform::ProgramLauncher& launcher_;

  bool preparing_ = false;
  bool deviceOccupied_ = false;
  std::string commandLine_;
  std::int32_t eAction_ = 5;
  std::int32_t timelen_ = 0;
  std::int64_t limit_ = 0;
  std::int64_t recordStart_ = 0;
  // The last schedule handed to the clients, so that a repeat of the
  // monitor's message for the same start is not announced twice.
  std::string lastActivatedId_;
  std::int64_t lastActivatedAt_ = 0;
};

}  // namespace TESKTV::SERVICE
