#pragma once
// The user's locale as the programs need it: the Windows language
// identifier of the user's default language (four hexadecimal digits, the
// value names of the language map) and the short date pattern.
//
// The locale comes from the environment, first non-empty of LC_ALL, the
// category variable, LANG; "C", "POSIX" (with or without a charset) and an
// unset environment mean en_US.

#include <string>
#include <string_view>

namespace quorvane::platform {

// POSIX locale name for messages (LC_ALL, LC_MESSAGES, LANG).
std::string UserMessagesLocaleName();
// POSIX locale name for dates (LC_ALL, LC_TIME, LANG).
std::string UserTimeLocaleName();

// ICU locale id of a POSIX locale name: "de_DE.UTF-8" gives "de_DE",
// "sr_RS@latin" gives "sr_Latn_RS", "C" gives "en_US".
std::string CanonicalLocaleId(std::string_view posixName);

// "0409" for en_US, "0407" for de_DE. A language without a country takes
// its most likely country ("de" gives "0407"); a locale without a Windows
// identifier gives "0409".
std::string LanguageIdForLocale(std::string_view posixName);
std::string UserDefaultLanguageId();

// The locale's short date pattern in ICU notation ("M/d/yy" for en_US,
// "dd.MM.yy" for de_DE); "M/d/yy" when ICU has none.
std::string ShortDatePatternForLocale(std::string_view posixName);
std::string UserShortDatePattern();

}  // namespace quorvane::platform
