#include "iepg/SchedulerHandOff.h"

#include "iepg/IepgNames.h"
#include "platform/debug/DebugOutput.h"
#include "platform/paths/PathJoin.h"
#include "platform/winmsg/RemoteWindow.h"

namespace quorvane::iepg {

HandOffResult HandOffRecord(const std::string& inputPath, std::int32_t recordNumber, const SettingsStore& settings,
                            platform::Clock& clock, ProgramLauncher& launcher) {
  HandOffResult result;
  if (inputPath.find(kWatchRequestExtension) != std::string::npos) {
    result.outcome = HandOffOutcome::kWatchRequest;
    return result;
  }

  auto window = platform::FindWindow(kSchedulerWindowClass);
  if (!window) {
    const std::string appPath = settings.ReadStringWithDefault(Hive::LocalMachine, kSchedulerKey, kAppPathValue, "");
    if (!appPath.empty()) {
      const std::string program =
          platform::FolderPlusFile(appPath, kSchedulerProgram, platform::FolderSeparator::Check);
      if (platform::Status started = launcher.Start(program); started) {
        result.schedulerStarted = true;
      } else {
        platform::DebugOutput("[CTeskIEPGApp] " + started.error().message);
      }
    }
    while (!window && result.polls < kSchedulerPolls) {
      clock.SleepFor(kSchedulerPollInterval);
      ++result.polls;
      window = platform::FindWindow(kSchedulerWindowClass);
    }
  }
  if (!window) {
    result.outcome = HandOffOutcome::kNoWindow;
    return result;
  }

  if (platform::Status posted = platform::PostMessage(*window, WM_IEPG_RECORD, 0, recordNumber); !posted) {
    platform::DebugOutput("[CTeskIEPGApp] WM_IEPG_RECORD " + std::to_string(recordNumber) + ": " +
                          posted.error().message);
    result.outcome = HandOffOutcome::kPostFailed;
    return result;
  }
  result.outcome = HandOffOutcome::kPosted;
  return result;
}

}  // namespace quorvane::iepg
