#include "common/lang/LanguageTable.h"

#include <optional>

#include "common/base/Utf16Cut.h"
#include "common/lang/LanguageCodes.h"
#include "common/lang/LanguageKeys.h"
#include "platform/ini/IniReader.h"
#include "platform/paths/InstallFolders.h"
#include "platform/paths/PathJoin.h"

namespace quorvane {
namespace {

std::optional<std::string> ReadEntry(const std::string& file, std::string_view section, std::string_view key) {
  auto text = platform::ReadIniString(file, section, key);
  if (!text) return std::nullopt;
  return CutToUtf16Units(std::move(*text), LanguageTable::kMaxTextUnits);
}

}  // namespace

std::string DefaultLanguageFolder() { return platform::JoinPath(platform::InstalledDataFolder(), "lang"); }

std::string LanguageTable::LanguageFolder() const {
  return platform::WithTrailingSeparator(
      store_.ReadStringWithDefault(Hive::LocalMachine, lang_keys::kSchedulerKey, lang_keys::kLangPath,
                                   DefaultLanguageFolder()));
}

std::string LanguageTable::LanguageCode() const {
  return store_.ReadStringWithDefault(Hive::CurrentUser, lang_keys::kSchedulerKey, lang_keys::kLanguage,
                                      kDefaultLanguageCode);
}

std::string LanguageTable::LanguageFilePath() const { return LanguageFilePathFor(LanguageCode()); }

std::string LanguageTable::LanguageFilePathFor(std::string_view code) const {
  std::string path = LanguageFolder();
  path += code;
  path += ".lng";
  return path;
}

std::string LanguageTable::Lookup(std::string_view section, std::string_view key,
                                  std::string_view defaultText) const {
  auto text = ReadEntry(LanguageFilePath(), section, key);
  return text ? std::move(*text) : std::string(defaultText);
}

std::string LanguageTable::LookupOrKey(std::string_view section, std::string_view key) const {
  auto text = ReadEntry(LanguageFilePath(), section, key);
  return text && !text->empty() ? std::move(*text) : std::string(key);
}

}  // namespace quorvane
