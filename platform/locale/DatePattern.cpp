#include <unicode/udat.h>
#include <unicode/ustring.h>

#include "platform/locale/UserLocale.h"

namespace quorvane::platform {

std::string ShortDatePatternForLocale(std::string_view posixName) {
  constexpr const char* kFallback = "M/d/yy";
  const std::string canonical = CanonicalLocaleId(posixName);
  UErrorCode status = U_ZERO_ERROR;
  UDateFormat* format = udat_open(UDAT_NONE, UDAT_SHORT, canonical.c_str(), nullptr, 0, nullptr, 0, &status);
  if (U_FAILURE(status) || format == nullptr) return kFallback;
  UChar pattern[128];
  const int32_t length = udat_toPattern(format, false, pattern, 128, &status);
  udat_close(format);
  if (U_FAILURE(status) || length <= 0 || length >= 128) return kFallback;

  char utf8[512];
  int32_t utf8Length = 0;
  u_strToUTF8(utf8, sizeof utf8, &utf8Length, pattern, length, &status);
  if (U_FAILURE(status) || utf8Length <= 0 || utf8Length >= static_cast<int32_t>(sizeof utf8)) return kFallback;
  return std::string(utf8, static_cast<std::size_t>(utf8Length));
}

std::string UserShortDatePattern() { return ShortDatePatternForLocale(UserTimeLocaleName()); }

}  // namespace quorvane::platform
