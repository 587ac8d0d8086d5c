#include <unicode/uloc.h>

#include <cstdlib>

#include "platform/locale/UserLocale.h"

namespace quorvane::platform {
namespace {

constexpr std::string_view kDefaultLocale = "en_US";

std::string FirstSet(const char* category) {
  for (const char* name : {"LC_ALL", category, "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') return value;
  }
  return {};
}

bool IsPortableLocale(std::string_view name) {
  const std::string_view base = name.substr(0, name.find_first_of(".@"));
  return base.empty() || base == "C" || base == "POSIX";
}

// POSIX modifiers that name a script; other modifiers ("euro", "valencia")
// go to ICU as variants.
std::string_view ScriptOfModifier(std::string_view modifier) {
  if (modifier == "latin") return "Latn";
  if (modifier == "cyrillic") return "Cyrl";
  if (modifier == "devanagari") return "Deva";
  return {};
}

}  // namespace

std::string UserMessagesLocaleName() { return FirstSet("LC_MESSAGES"); }
std::string UserTimeLocaleName() { return FirstSet("LC_TIME"); }

std::string CanonicalLocaleId(std::string_view posixName) {
  if (IsPortableLocale(posixName)) return std::string(kDefaultLocale);

  // language[_TERRITORY][.charset][@modifier]
  std::string_view modifier;
  if (const auto at = posixName.find('@'); at != std::string_view::npos) {
    modifier = posixName.substr(at + 1);
    posixName = posixName.substr(0, at);
  }
  posixName = posixName.substr(0, posixName.find('.'));
  const auto underscore = posixName.find('_');
  const std::string_view language = posixName.substr(0, underscore);
  const std::string_view territory =
      underscore == std::string_view::npos ? std::string_view() : posixName.substr(underscore + 1);

  std::string id(language);
  if (const auto script = ScriptOfModifier(modifier); !script.empty()) {
    id += '_';
    id += script;
  }
  if (!territory.empty()) {
    id += '_';
    id += territory;
  }
  if (!modifier.empty() && ScriptOfModifier(modifier).empty()) {
    id += '@';
    id += modifier;
  }

  char canonical[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  uloc_canonicalize(id.c_str(), canonical, sizeof canonical, &status);
  if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING || canonical[0] == '\0') {
    return std::string(kDefaultLocale);
  }
  return canonical;
}

}  // namespace quorvane::platform
