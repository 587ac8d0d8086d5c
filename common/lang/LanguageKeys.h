#pragma once
// Registry places the language tables read and write.

#include <string_view>

namespace quorvane::lang_keys {

// HKEY_LOCAL_MACHINE: LangPath; HKEY_CURRENT_USER: Language.
inline constexpr std::string_view kSchedulerKey = "SOFTWARE\\Quorvane\\Velmora Scheduler";
inline constexpr std::string_view kLangPath = "LangPath";
inline constexpr std::string_view kLanguage = "Language";

// HKEY_LOCAL_MACHINE: value "0409" etc. -> language code, and Default.
inline constexpr std::string_view kCountryKey = "SOFTWARE\\Quorvane\\Common\\Country";
inline constexpr std::string_view kCountryDefault = "Default";

}  // namespace quorvane::lang_keys
