#pragma once
// The handler program: reads where records go, dispatches on its command
// line, and for a TitanTV file converts it into a numbered `.iepg` record
// and hands the number to the scheduler. It has no window and ends when
// InitInstance returns.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/settings/SettingsStore.h"
#include "iepg/ChildProcess.h"
#include "iepg/SchedulerHandOff.h"
#include "iepg/UserMessages.h"
#include "platform/base/Result.h"
#include "platform/clock/Clock.h"

namespace quorvane::iepg {

struct AppOptions {
  // The handler's own executable.
  std::function<platform::Result<std::string>()> executablePath;
  // The pseudo-random number the record numbers start after; empty: drawn
  // from a generator seeded with the clock's current second.
  std::function<std::uint32_t()> randomStart;
  // Where "/R" puts the desktop entries; empty: chosen by account.
  std::string desktopDataFolder;
};

class CTeskIEPGApp {
 public:
  static constexpr int kExitOk = 0;
  static constexpr int kExitFailed = 1;

  CTeskIEPGApp(const SettingsStore& settings, platform::Clock& clock, UserMessages& messages,
               ProgramLauncher& launcher, AppOptions options = {});

  // `commandLine` is everything after the program name, as one text.
  // Returns the process exit status.
  int InitInstance(const std::string& commandLine);

  const std::string& dataPath() const { return dataPath_; }
  const std::string& executablePath() const { return executablePath_; }
  // The number of the record written by this run.
  std::optional<std::int32_t> recordNumber() const { return recordNumber_; }
  std::optional<HandOffResult> handOff() const { return handOff_; }

 private:
  bool RegExtensionFileType();
  int ConvertAndHandOff(const std::string& inputPath);
  std::uint32_t RandomStart();

  const SettingsStore& settings_;
  platform::Clock& clock_;
  UserMessages& messages_;
  ProgramLauncher& launcher_;
  AppOptions options_;

  std::string dataPath_;
  std::string executablePath_;
  std::optional<std::int32_t> recordNumber_;
  std::optional<HandOffResult> handOff_;
};

}  // namespace quorvane::iepg
