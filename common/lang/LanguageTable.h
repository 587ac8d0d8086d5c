#pragma once
// Look-up of user-visible texts in the selected language file. The file is
// found anew on every look-up (folder from LangPath, code from Language)
// and read anew as well, so a changed setting or file takes effect at the
// next look-up. A missing folder, file, section or key never fails: the
// caller's fallback is returned.

#include <cstddef>
#include <string>
#include <string_view>

#include "common/settings/SettingsStore.h"

namespace quorvane {

class LanguageTable {
 public:
  // Texts are read into a buffer of 256 UTF-16 units, terminator included.
  static constexpr std::size_t kMaxTextUnits = 255;

  explicit LanguageTable(const SettingsStore& store) : store_(store) {}

  // LangPath (empty: the installed language folder), ending in a separator.
  std::string LanguageFolder() const;
  // Language (empty: "rcenu").
  std::string LanguageCode() const;
  std::string LanguageFilePath() const;
  std::string LanguageFilePathFor(std::string_view code) const;

  // The entry's text (an empty entry gives the empty text), or the default
  // when the file, section or key is missing. Texts from the file longer
  // than 255 units are cut; the default is returned as given.
  std::string Lookup(std::string_view section, std::string_view key, std::string_view defaultText) const;

  // The entry's text, or the key itself when the entry is missing or empty.
  std::string LookupOrKey(std::string_view section, std::string_view key) const;

 private:
  const SettingsStore& store_;
};

// The folder LangPath names when it is empty.
std::string DefaultLanguageFolder();

}  // namespace quorvane
