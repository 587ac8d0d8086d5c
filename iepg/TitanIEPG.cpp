#include "iepg/TitanIEPG.h"

#include <sys/stat.h>

#include <optional>
#include <string>

#include "iepg/DecoderKey.h"
#include "iepg/DesktopRegistration.h"
#include "iepg/FileTypeRegistration.h"
#include "platform/debug/DebugOutput.h"
#include "platform/dynlib/DynamicLibrary.h"
#include "platform/paths/InstallFolders.h"

namespace quorvane::iepg {

namespace {

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The executable's folder with its final '/', or nothing for a path
// without one.
std::optional<std::string> FolderWithSeparator(const std::string& executablePath) {
  const std::size_t slash = executablePath.rfind('/');
  if (slash == std::string::npos) return std::nullopt;
  return executablePath.substr(0, slash + 1);
}

}  // namespace

CTitanIEPG::CTitanIEPG(std::string executablePath, const SettingsStore& settings, std::string desktopDataFolder)
    : CIEPG(StylesheetFor(executablePath)),
      executablePath_(std::move(executablePath)),
      settings_(settings),
      desktopDataFolder_(std::move(desktopDataFolder)) {}

std::string CTitanIEPG::StylesheetFor(const std::string& executablePath) {
  const std::string relative = std::string(kStylesheetFolder) + "/" + kTitanStylesheet;
  const std::string beside = FolderWithSeparator(executablePath).value_or("") + relative;
  if (IsRegularFile(beside)) return beside;
  if (auto folder = FolderWithSeparator(executablePath)) {
    const std::string installed = *folder + "../share/quorvane/" + relative;
    if (IsRegularFile(installed)) return installed;
  }
  const std::string configured = platform::InstalledDataFolder() + "/" + relative;
  if (IsRegularFile(configured)) return configured;
  return beside;
}

HRESULT CTitanIEPG::RegisterFileType() {
  RegistryClassesRoot classesRoot(settings_.registry());
  HRESULT hr = RegisterTitanFileTypes(classesRoot, executablePath_);

  std::string folder = desktopDataFolder_;
  if (folder.empty()) {
    auto found = DesktopDataFolder(RunsAsRoot());
    if (!found) {
      platform::DebugOutput("[CTitanIEPG::RegisterFileType] no data folder: " + found.error().message);
      return platform::E_FAIL;
    }
    folder = *found;
  }
  if (platform::Status installed = InstallDesktopRegistration(folder, executablePath_); !installed) {
    platform::DebugOutput("[CTitanIEPG::RegisterFileType] " + installed.error().message);
    hr = platform::E_FAIL;
  }
  return hr;
}

HRESULT CTitanIEPG::ConvertFile(const std::string& input, const std::string& output) {
  const auto folder = FolderWithSeparator(executablePath_);
  if (!folder) return platform::E_UNEXPECTED;

  auto library = platform::DynamicLibrary::Open(*folder + kDecoderFileName);
  if (!library) {
    platform::DebugOutput("[CTitanIEPG::ConvertFile] LoadLibrary failed.");
    platform::DebugOutput("[CTitanIEPG::ConvertFile] " + library.error().message);
    return E_ABORT;
  }
  auto decode = library->Function<DecoderFunction>(kDecoderExport);
  if (!decode) {
    platform::DebugOutput("[CTitanIEPG::ConvertFile] " + decode.error().message);
    return E_ABORT;
  }
  auto key = DecoderKey::Read(settings_);
  if (!key) {
    platform::DebugOutput("[CTitanIEPG::ConvertFile] " + key.error().message);
    return platform::E_UNEXPECTED;
  }
  // The decoder's result says nothing the stylesheet step would not find
  // out itself.
  (void)(*decode)(input.c_str(), key->id(), key->text(), kDecoderKeyLength);
  library->Close();

  (void)CIEPG::ConvertFile(input, output);
  return platform::S_OK;
}

}  // namespace quorvane::iepg
