#pragma once
// Where the key database lives. The installation's catalogue and key files
// are in the machine folder (HKEY_LOCAL_MACHINE "SOFTWARE\Quorvane"
// `DBPath`); each user works on a copy in a folder of their own
// (HKEY_CURRENT_USER "SOFTWARE\Quorvane" `DBPath`), created on first use
// as "Quorvane" in the local application data folder. The Media Center
// plug-in reads a copy in "Velmora Plug-in" there. Copies between the
// folders report nothing: a missing copy shows later as a missing file.

#include <optional>
#include <string>
#include <string_view>

#include "common/settings/SettingsStore.h"

namespace quorvane::keydb {

inline constexpr std::string_view kDbPathValue = "DBPath";
inline constexpr std::string_view kUserDatabaseFolderName = "Quorvane";
inline constexpr std::string_view kPluginFolderName = "Velmora Plug-in";

// The user's special folders; absent when they cannot be found.
struct UserFolders {
  std::optional<std::string> localAppData;
  std::optional<std::string> documents;

  static UserFolders FromEnvironment();
};

// `DBPath` of HKEY_CURRENT_USER "SOFTWARE\Quorvane"; absent when missing or empty.
std::optional<std::string> UserDatabaseFolder(const SettingsStore& store);
// `DBPath` of HKEY_LOCAL_MACHINE "SOFTWARE\Quorvane".
std::optional<std::string> MachineDatabaseFolder(const SettingsStore& store);
// `DBPath` of HKEY_LOCAL_MACHINE "SOFTWARE\Velmora Plug-in".
std::optional<std::string> PluginMachineDatabaseFolder(const SettingsStore& store);

// The folder every catalogue read and write and every learned key file
// uses: the user's, else the machine's while the user has none; empty
// when neither is set.
std::string DatabaseFolder(const SettingsStore& store);

// "<folder>/BoxInfo.xml".
std::string CataloguePath(std::string_view folder);
// "<folder>/<file>": a device's `ModelFile`.
std::string KeyFilePath(std::string_view folder, std::string_view fileName);

// The user's database folder, created on first use: when the user has no
// `DBPath`, makes "Quorvane" in the local application data folder (in the
// documents folder when that is unavailable), stores it as the user's
// `DBPath` and copies the machine catalogue into it unless a copy is there
// already. Returns the user's folder; empty when none could be made (no
// `DBPath` is then written).
std::string EnsureUserDatabaseFolder(const SettingsStore& store, const UserFolders& folders);

// Brings the plug-in folder up to date when the learning starts: creates
// "<local app data>/Velmora Plug-in"; when "<local app data>/Quorvane" has
// a catalogue, copies every file of that folder into the plug-in folder
// (overwriting), otherwise copies the catalogue of the plug-in's machine
// folder into both.
void SyncPluginFolder(const SettingsStore& store, const UserFolders& folders);

}  // namespace quorvane::keydb
