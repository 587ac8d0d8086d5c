#pragma once
// Names of the hive roots as key paths spell them ("HKEY_LOCAL_MACHINE",
// short form "HKLM") and the user identifiers that address HKEY_USERS.

#include <sys/types.h>
#include <optional>
#include <string>
#include <string_view>

#include "platform/base/Result.h"
#include "platform/registry/Hive.h"

namespace quorvane::platform {

// "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_USERS", "HKEY_CLASSES_ROOT".
std::string_view RootKeyName(Hive hive);

// Long or short form (HKLM, HKCU, HKU, HKCR), ignoring case.
std::optional<Hive> ParseRootKeyName(std::string_view name);

// A full key path such as "HKLM\SOFTWARE\Quorvane": the hive and the path
// below its root (without leading separator; empty for the root itself).
struct FullKeyPath {
  Hive hive = Hive::LocalMachine;
  std::string path;
};
Result<FullKeyPath> ParseFullKeyPath(std::string_view fullPath);

// The security identifier text of a local account: "S-1-22-1-<uid>".
std::string UserSid(uid_t uid);
std::optional<uid_t> ParseUserSid(std::string_view sid);

}  // namespace quorvane::platform
