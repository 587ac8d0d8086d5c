#include "common/lang/LanguageSelection.h"

#include <sys/stat.h>

#include "common/lang/LanguageCodes.h"
#include "common/lang/LanguageKeys.h"
#include "common/lang/LanguageTable.h"
#include "platform/locale/UserLocale.h"

namespace quorvane {
namespace {

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void WriteLanguage(const SettingsStore& store, std::string_view code) {
  // A failed write leaves the previous choice; the texts still show.
  (void)store.WriteString(Hive::CurrentUser, lang_keys::kSchedulerKey, lang_keys::kLanguage, code);
}

}  // namespace

std::string MappedLanguageCode(const SettingsStore& store, std::string_view languageId) {
  return store.ReadStringWithDefault(Hive::LocalMachine, lang_keys::kCountryKey, languageId, kDefaultLanguageCode);
}

std::string SelectLanguageAtSchedulerStart(const SettingsStore& store, std::string_view languageId) {
  std::string code = MappedLanguageCode(store, languageId);
  if (!IsRegularFile(LanguageTable(store).LanguageFilePathFor(code))) {
    code = store.ReadStringWithDefault(Hive::LocalMachine, lang_keys::kCountryKey, lang_keys::kCountryDefault,
                                       kDefaultLanguageCode);
  }
  WriteLanguage(store, code);
  return code;
}

std::string SelectLanguageAtSchedulerStart(const SettingsStore& store) {
  return SelectLanguageAtSchedulerStart(store, platform::UserDefaultLanguageId());
}

std::optional<std::string> InitializeLanguageForTray(const SettingsStore& store, std::string_view languageId) {
  const auto current = store.ReadString(Hive::CurrentUser, lang_keys::kSchedulerKey, lang_keys::kLanguage);
  if (current && !current->empty()) return std::nullopt;
  std::string code = MappedLanguageCode(store, languageId);
  if (!IsKnownLanguageCode(code)) code = std::string(kDefaultLanguageCode);
  WriteLanguage(store, code);
  return code;
}

std::optional<std::string> InitializeLanguageForTray(const SettingsStore& store) {
  return InitializeLanguageForTray(store, platform::UserDefaultLanguageId());
}

}  // namespace quorvane
