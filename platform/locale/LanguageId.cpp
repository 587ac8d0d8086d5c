#include <unicode/uloc.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/locale/UserLocale.h"

namespace quorvane::platform {
namespace {

// A Windows language identifier names one language of one country when its
// primary part is set and its sub-language is a real one: 0 and the high
// values (0x1B and above, used for script-only ids such as 0x7C1A) stand
// for the language in general.
bool IsSpecificLanguage(std::uint32_t langId) {
  const std::uint32_t primary = langId & 0x3FF;
  const std::uint32_t sub = (langId >> 10) & 0x3F;
  return primary != 0 && primary != 0x7F && sub != 0 && sub < 0x1B;
}

std::uint32_t LanguageIdOf(const std::string& localeId) { return uloc_getLCID(localeId.c_str()) & 0xFFFF; }

}  // namespace

std::string LanguageIdForLocale(std::string_view posixName) {
  const std::string canonical = CanonicalLocaleId(posixName);
  std::vector<std::string> candidates{canonical};

  // "de" or "sr_RS" stand for a language in general; the likely full
  // locale ("de_Latn_DE") or its language and country ("de_DE") name one.
  char likely[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  uloc_addLikelySubtags(canonical.c_str(), likely, sizeof likely, &status);
  if (U_SUCCESS(status) && status != U_STRING_NOT_TERMINATED_WARNING) {
    candidates.emplace_back(likely);
    char language[ULOC_LANG_CAPACITY] = {};
    char country[ULOC_COUNTRY_CAPACITY] = {};
    UErrorCode partStatus = U_ZERO_ERROR;
    uloc_getLanguage(likely, language, sizeof language, &partStatus);
    uloc_getCountry(likely, country, sizeof country, &partStatus);
    if (U_SUCCESS(partStatus)) candidates.push_back(std::string(language) + "_" + country);
  }

  for (const auto& candidate : candidates) {
    const std::uint32_t langId = LanguageIdOf(candidate);
    if (IsSpecificLanguage(langId)) {
      char text[8];
      std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(langId));
      return text;
    }
  }
  return "0409";
}

std::string UserDefaultLanguageId() { return LanguageIdForLocale(UserMessagesLocaleName()); }

}  // namespace quorvane::platform
