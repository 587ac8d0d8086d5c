#pragma once
// The per-user folders the programs keep their files in, after the XDG base
// directory rules: a variable that is set to an absolute path wins, else
// the usual place below the home folder. Every location can be moved by
// environment variable, which is how tests and the demo run in folders of
// their own.

#include <string>

#include "platform/base/Result.h"

namespace quorvane::platform {

// $HOME, else the home folder of the account in the user database.
Result<std::string> HomeFolder();

// Local application data: $XDG_DATA_HOME, default ~/.local/share.
Result<std::string> LocalAppDataFolder();

// $XDG_CONFIG_HOME, default ~/.config.
Result<std::string> ConfigHomeFolder();

// The documents folder: $XDG_DOCUMENTS_DIR, else XDG_DOCUMENTS_DIR of
// user-dirs.dirs in the config home, else ~/Documents.
Result<std::string> DocumentsFolder();

}  // namespace quorvane::platform
