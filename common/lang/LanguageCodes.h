#pragma once
// The language codes the suite ships texts for. A code names its file:
// code + ".lng" in the language folder.

#include <array>
#include <string_view>

namespace quorvane {

inline constexpr std::string_view kDefaultLanguageCode = "rcenu";

inline constexpr std::array<std::string_view, 12> kKnownLanguageCodes = {
    "rcenu", "rceng", "rcfre", "rcfrc", "rcspa", "rcger",
    "rcita", "rcpor", "rcrus", "rcgre", "rctrd", "rcsim",
};

// Exact comparison: the codes are written in lower case by the installer.
constexpr bool IsKnownLanguageCode(std::string_view code) {
  for (const auto known : kKnownLanguageCodes) {
    if (known == code) return true;
  }
  return false;
}

}  // namespace quorvane
