#include "common/log/LogStartup.h"

#include "common/log/Log.h"
#include "platform/ini/IniReader.h"
#include "platform/paths/ExecutablePath.h"
#include "platform/paths/InstallFolders.h"
#include "platform/paths/PathJoin.h"

namespace TESKTV::LOG {
namespace {

constexpr std::string_view kSchedulerKey = "SOFTWARE\\Quorvane\\Velmora Scheduler";
constexpr std::string_view kSection = "DEBUG";
constexpr std::string_view kAppPathToken = "$APPPATH$";

}  // namespace

std::string SystemIniPath(const quorvane::SettingsStore& store) {
  return store.ReadStringWithDefault(quorvane::Hive::LocalMachine, kSchedulerKey, "SystemIni",
                                     quorvane::platform::InstalledDataFolder());
}

LogSettings ReadLogSettings(const std::string& iniPath) {
  using quorvane::platform::ReadIniInt;
  LogSettings settings;
  settings.type = ReadIniInt(iniPath, kSection, "TYPE", settings.type);
  settings.level = ReadIniInt(iniPath, kSection, "LLEVEL", settings.level);
  if (auto file = quorvane::platform::ReadIniString(iniPath, kSection, "LFILE"); file && !file->empty()) {
    settings.file = *file;
  }
  settings.size = ReadIniInt(iniPath, kSection, "LSIZE", settings.size);
  settings.count = ReadIniInt(iniPath, kSection, "LNUM", settings.count);
  return settings;
}

std::string ExpandAppPath(std::string_view file, std::string_view appFolder) {
  const std::string folder = quorvane::platform::WithTrailingSeparator(appFolder);
  std::string out;
  for (;;) {
    const auto token = file.find(kAppPathToken);
    out += file.substr(0, token);
    if (token == std::string_view::npos) return out;
    out += folder;
    file.remove_prefix(token + kAppPathToken.size());
  }
}

quorvane::platform::Result<Logger*> InitLogFromSettings(const quorvane::SettingsStore& store,
                                                        std::optional<std::string> appFolder) {
  const LogSettings settings = ReadLogSettings(SystemIniPath(store));
  Logger* root = nullptr;
  if (settings.type == 1) {
    std::string file = settings.file;
    if (file.find(kAppPathToken) != std::string::npos) {
      if (!appFolder) {
        auto folder = quorvane::platform::ExecutableFolder();
        if (!folder) return quorvane::platform::MakeError("log file folder: " + folder.error().message);
        appFolder = *folder;
      }
      file = ExpandAppPath(file, *appFolder);
    }
    root = InitFileLog(settings.level, file, settings.size, settings.count);
  } else if (settings.type == 2) {
    root = InitConsoleLog(settings.level);
  } else {
    return static_cast<Logger*>(nullptr);
  }
  if (root == nullptr) return quorvane::platform::MakeError("the diagnostic log could not be started");
  LogInfo(root, "%.*s", static_cast<int>(kStartLine.size()), kStartLine.data());
  return root;
}

}  // namespace TESKTV::LOG
