#include "iepg/TeskIEPGApp.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "iepg/CommandLine.h"
#include "iepg/ExchangeFolder.h"
#include "iepg/IepgNames.h"
#include "iepg/TitanIEPG.h"
#include "platform/debug/DebugOutput.h"
#include "platform/paths/ExecutablePath.h"

namespace quorvane::iepg {

CTeskIEPGApp::CTeskIEPGApp(const SettingsStore& settings, platform::Clock& clock, UserMessages& messages,
                           ProgramLauncher& launcher, AppOptions options)
    : settings_(settings), clock_(clock), messages_(messages), launcher_(launcher), options_(std::move(options)) {
  if (!options_.executablePath) options_.executablePath = [] { return platform::ExecutablePath(); };
}

int CTeskIEPGApp::InitInstance(const std::string& commandLine) {
  dataPath_ = ReadDataPath(settings_);
  if (dataPath_.empty()) return kExitOk;
  if (platform::Status created = CreateExchangeFolder(dataPath_); !created) {
    platform::DebugOutput("[CTeskIEPGApp::InitInstance] " + created.error().message);
  }

  auto executable = options_.executablePath();
  if (!executable || executable->empty()) {
    messages_.Show(kNoExecutablePathText);
    return kExitFailed;
  }
  executablePath_ = std::move(*executable);

  switch (ClassifyCommandLine(commandLine)) {
    case Command::kUsage:
      messages_.Show(kUsageText);
      return kExitOk;
    case Command::kRegister:
      return RegExtensionFileType() ? kExitOk : kExitFailed;
    case Command::kConvertFile:
      break;
  }
  return ConvertAndHandOff(commandLine);
}

bool CTeskIEPGApp::RegExtensionFileType() {
  platform::DebugOutput("[Entry]CTeskIEPGApp::RegExtensionFileType");
  CTitanIEPG titan(executablePath_, settings_, options_.desktopDataFolder);
  if (platform::Failed(titan.RegisterFileType())) {
    messages_.Show(kRegistrationFailedText);
    return false;
  }
  return true;
}

std::uint32_t CTeskIEPGApp::RandomStart() {
  if (options_.randomStart) return options_.randomStart();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(clock_.Wall().time_since_epoch()).count();
  return SeededRandomStart(static_cast<std::uint32_t>(seconds));
}

int CTeskIEPGApp::ConvertAndHandOff(const std::string& inputPath) {
  // Only TitanTV files are converted; for anything else there is no record
  // to tell the scheduler about.
  if (inputPath.find(kRecordRequestExtension) == std::string::npos &&
      inputPath.find(kWatchRequestExtension) == std::string::npos) {
    platform::DebugOutput("[CTeskIEPGApp] not a TitanTV file: " + inputPath);
    return kExitOk;
  }

  auto reserved = ReserveRecordFile(dataPath_, static_cast<std::int64_t>(RandomStart()) + 1);
  if (!reserved) {
    platform::DebugOutput("[CTeskIEPGApp] " + reserved.error().message);
    return kExitFailed;
  }

  CTitanIEPG titan(executablePath_, settings_);
  const HRESULT hr = titan.ConvertFile(inputPath, reserved->path);
  if (platform::Failed(hr)) {
    // Nothing was written to the reserved file and nobody will be told its
    // number, so it goes again.
    ::unlink(reserved->path.c_str());
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    platform::DebugOutput("[CTeskIEPGApp] conversion of " + inputPath + " failed: " + code);
    return kExitFailed;
  }
  recordNumber_ = reserved->number;

  handOff_ = HandOffRecord(inputPath, reserved->number, settings_, clock_, launcher_);
  return kExitOk;
}

}  // namespace quorvane::iepg
