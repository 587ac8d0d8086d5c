#pragma once
// Choosing the language code from the user's locale through the language
// map of the installation (value named by the four-digit language id).

#include <optional>
#include <string>
#include <string_view>

#include "common/settings/SettingsStore.h"

namespace quorvane {

// At every scheduler start: the mapped code (none: "rcenu"); when its file
// is missing, the map's Default (none: "rcenu"). Writes Language and
// returns the code.
std::string SelectLanguageAtSchedulerStart(const SettingsStore& store, std::string_view languageId);
std::string SelectLanguageAtSchedulerStart(const SettingsStore& store);

// At the wizard's tray start, only when Language is absent or empty: the
// mapped code when it is one of the known codes, else "rcenu"; no file
// check. Writes Language and returns the code; nothing when Language was
// already set.
std::optional<std::string> InitializeLanguageForTray(const SettingsStore& store, std::string_view languageId);
std::optional<std::string> InitializeLanguageForTray(const SettingsStore& store);

// The code the map gives for a language id, "rcenu" when none.
std::string MappedLanguageCode(const SettingsStore& store, std::string_view languageId);

}  // namespace quorvane
