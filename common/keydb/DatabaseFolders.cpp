#include "common/keydb/DatabaseFolders.h"

#include <filesystem>
#include <system_error>

#include "common/keydb/Catalogue.h"
#include "common/settings/DeviceRegistry.h"
#include "platform/paths/PathJoin.h"
#include "platform/paths/UserFolders.h"

namespace quorvane::keydb {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> NonEmpty(std::optional<std::string> value) {
  if (value && value->empty()) return std::nullopt;
  return value;
}

std::optional<std::string> FromResult(const platform::Result<std::string>& folder) {
  if (!folder || folder->empty()) return std::nullopt;
  return *folder;
}

bool MakeFolder(const std::string& folder) {
  std::error_code ignored;
  fs::create_directories(folder, ignored);
  return fs::is_directory(folder, ignored);
}

void CopyIgnoringFailure(const fs::path& from, const fs::path& to, fs::copy_options options) {
  std::error_code ignored;
  fs::copy_file(from, to, options, ignored);
}

}  // namespace

UserFolders UserFolders::FromEnvironment() {
  return UserFolders{FromResult(platform::LocalAppDataFolder()), FromResult(platform::DocumentsFolder())};
}

std::optional<std::string> UserDatabaseFolder(const SettingsStore& store) {
  return NonEmpty(store.ReadString(Hive::CurrentUser, kQuorvaneKeyPath, kDbPathValue));
}

std::optional<std::string> MachineDatabaseFolder(const SettingsStore& store) {
  return NonEmpty(store.ReadString(Hive::LocalMachine, kQuorvaneKeyPath, kDbPathValue));
}

std::optional<std::string> PluginMachineDatabaseFolder(const SettingsStore& store) {
  return NonEmpty(store.ReadString(Hive::LocalMachine, kPluginKeyPath, kDbPathValue));
}

std::string DatabaseFolder(const SettingsStore& store) {
  return store.ReadStringUserFirst(kQuorvaneKeyPath, kDbPathValue, "");
}

std::string CataloguePath(std::string_view folder) { return platform::JoinPath(folder, kCatalogueFileName); }

std::string KeyFilePath(std::string_view folder, std::string_view fileName) {
  return platform::JoinPath(folder, fileName);
}

std::string EnsureUserDatabaseFolder(const SettingsStore& store, const UserFolders& folders) {
  if (auto existing = UserDatabaseFolder(store)) return *existing;

  std::string base;
  if (folders.localAppData && MakeFolder(*folders.localAppData)) {
    base = *folders.localAppData;
  } else if (folders.documents) {
    base = *folders.documents;
  }
  if (base.empty()) return {};
  const std::string folder = platform::JoinPath(base, kUserDatabaseFolderName);
  // A `DBPath` naming a folder that does not exist would stay for good and
  // make every later save fail; without the folder nothing is recorded and
  // the next run tries again.
  if (!MakeFolder(folder)) return {};
  (void)store.WriteString(Hive::CurrentUser, kQuorvaneKeyPath, kDbPathValue, folder);
  if (auto machine = MachineDatabaseFolder(store)) {
    CopyIgnoringFailure(CataloguePath(*machine), CataloguePath(folder), fs::copy_options::skip_existing);
  }
  return folder;
}

void SyncPluginFolder(const SettingsStore& store, const UserFolders& folders) {
  if (!folders.localAppData || !MakeFolder(*folders.localAppData)) return;
  const fs::path localAppData(*folders.localAppData);
  const fs::path pluginFolder = localAppData / kPluginFolderName;
  const fs::path userFolder = localAppData / kUserDatabaseFolderName;
  const fs::path userCatalogue = userFolder / kCatalogueFileName;
  std::error_code error;
  fs::create_directories(pluginFolder, error);

  if (fs::exists(userCatalogue, error)) {
    for (fs::directory_iterator it(userFolder, error), end; !error && it != end; it.increment(error)) {
      std::error_code ignored;
      if (!it->is_regular_file(ignored)) continue;
      CopyIgnoringFailure(it->path(), pluginFolder / it->path().filename(), fs::copy_options::overwrite_existing);
    }
    return;
  }
  if (auto machine = PluginMachineDatabaseFolder(store)) {
    const fs::path source = CataloguePath(*machine);
    CopyIgnoringFailure(source, userCatalogue, fs::copy_options::overwrite_existing);
    CopyIgnoringFailure(source, pluginFolder / kCatalogueFileName, fs::copy_options::overwrite_existing);
  }
}

}  // namespace quorvane::keydb
