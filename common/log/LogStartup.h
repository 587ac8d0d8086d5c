#pragma once
// The scheduler's start of the diagnostic log from the settings file that
// SystemIni names (section "DEBUG": TYPE, LLEVEL, LFILE, LSIZE, LNUM).

#include <optional>
#include <string>
#include <string_view>

#include "common/log/InfoTracker.h"
#include "common/settings/SettingsStore.h"
#include "platform/base/Result.h"

namespace TESKTV::LOG {

struct LogSettings {
  int type = 1;  // 1 files, 2 debugger output, other: no log
  int level = 1;
  std::string file = "$APPPATH$LTeskTV";
  int size = 20480;
  int count = 1;
};

// SystemIni of HKEY_LOCAL_MACHINE "SOFTWARE\Quorvane\Velmora Scheduler";
// empty: the installed data folder, which is no file, so every setting
// takes its default.
std::string SystemIniPath(const quorvane::SettingsStore& store);

LogSettings ReadLogSettings(const std::string& iniPath);

// Replaces "$APPPATH$" by the folder, which gets a trailing separator.
std::string ExpandAppPath(std::string_view file, std::string_view appFolder);

// Starts the log as the settings say and writes the start line. The value
// is the root logger, or null when TYPE names no log; an error means the
// log could not be started, and the scheduler's start-up then fails.
// appFolder replaces the executable's folder for "$APPPATH$".
quorvane::platform::Result<Logger*> InitLogFromSettings(const quorvane::SettingsStore& store,
                                                        std::optional<std::string> appFolder = std::nullopt);

inline constexpr std::string_view kStartLine =
    "******************************[START TESKTV]******************************";

}  // namespace TESKTV::LOG
