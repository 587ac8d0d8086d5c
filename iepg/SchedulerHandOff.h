#pragma once
// Telling the scheduler that a record is ready: WM_IEPG_RECORD with the
// record number to its main window, starting the scheduler first when its
// window is not there.

#include <cstdint>
#include <string>

#include "common/settings/SettingsStore.h"
#include "iepg/ChildProcess.h"
#include "platform/clock/Clock.h"

namespace quorvane::iepg {

enum class HandOffOutcome {
  kPosted,
  kWatchRequest,  // watch requests are converted but not handed off
  kNoWindow,      // no scheduler window, also after starting it and waiting
  kPostFailed,
};

struct HandOffResult {
  HandOffOutcome outcome = HandOffOutcome::kNoWindow;
  bool schedulerStarted = false;
  int polls = 0;  // looks for the window after the first
};

// When the window is missing, starts "Velmora Scheduler" from the folder
// in HKEY_LOCAL_MACHINE `AppPath` (if set) and looks for the window again
// every 100 ms on `clock`, at most 20 times.
HandOffResult HandOffRecord(const std::string& inputPath, std::int32_t recordNumber, const SettingsStore& settings,
                            platform::Clock& clock, ProgramLauncher& launcher);

}  // namespace quorvane::iepg
