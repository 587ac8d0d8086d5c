#pragma once
// The freedesktop side of the file type registration: a shared-mime-info
// package that names the two TitanTV types by their extensions, and a
// desktop entry that opens files of those types with the handler.

#include <string>
#include <string_view>

#include "platform/base/Result.h"

namespace quorvane::iepg {

inline constexpr char kMimePackageName[] = "quorvane-teskiepg.xml";
inline constexpr char kDesktopEntryName[] = "quorvane-teskiepg.desktop";
// An older name of the watch type that some sites still send.
inline constexpr char kWatchTypeAlias[] = "application/x-tv-viewer-info";

// Where the entries go: for root the first folder of $XDG_DATA_DIRS
// (default /usr/local/share), for everyone else $XDG_DATA_HOME (default
// ~/.local/share).
platform::Result<std::string> DesktopDataFolder(bool systemWide);
bool RunsAsRoot();

std::string MimePackageText();
std::string DesktopEntryText(std::string_view executablePath);
// The path as one argument of a desktop entry's Exec key: quoted, with the
// characters the quoting and the key's own escapes treat specially escaped.
std::string DesktopExecArgument(std::string_view path);

// Writes the package to <folder>/mime/packages and the entry to
// <folder>/applications (each file replaced as a whole), then rebuilds
// the MIME database there with update-mime-database, and the desktop
// entries' cache with update-desktop-database, when they are installed.
platform::Status InstallDesktopRegistration(const std::string& dataFolder, std::string_view executablePath);

}  // namespace quorvane::iepg
