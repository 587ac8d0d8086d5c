#include "platform/paths/InstallFolders.h"

#ifndef QUORVANE_INSTALLED_DATA_FOLDER
#error "QUORVANE_INSTALLED_DATA_FOLDER must name <prefix>/share/quorvane"
#endif

namespace quorvane::platform {

std::string InstalledDataFolder() { return QUORVANE_INSTALLED_DATA_FOLDER; }

}  // namespace quorvane::platform
