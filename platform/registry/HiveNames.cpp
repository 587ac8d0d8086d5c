#include "platform/registry/HiveNames.h"

#include <charconv>
#include <limits>

namespace quorvane::platform {
namespace {

struct RootSpelling {
  Hive hive;
  std::string_view longName;
  std::string_view shortName;
};

constexpr RootSpelling kRoots[] = {
    {Hive::LocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},
    {Hive::CurrentUser, "HKEY_CURRENT_USER", "HKCU"},
    {Hive::Users, "HKEY_USERS", "HKU"},
    {Hive::ClassesRoot, "HKEY_CLASSES_ROOT", "HKCR"},
};

constexpr std::string_view kSidPrefix = "S-1-22-1-";

bool AsciiEqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string_view RootKeyName(Hive hive) {
  for (const auto& root : kRoots) {
    if (root.hive == hive) return root.longName;
  }
  return {};
}

std::optional<Hive> ParseRootKeyName(std::string_view name) {
  for (const auto& root : kRoots) {
    if (AsciiEqualsIgnoringCase(name, root.longName) || AsciiEqualsIgnoringCase(name, root.shortName)) {
      return root.hive;
    }
  }
  return std::nullopt;
}

Result<FullKeyPath> ParseFullKeyPath(std::string_view fullPath) {
  const std::size_t separator = fullPath.find('\\');
  const std::string_view rootName = fullPath.substr(0, separator);
  const auto hive = ParseRootKeyName(rootName);
  if (!hive) {
    return MakeError("unknown registry root \"" + std::string(rootName) + "\"");
  }
  FullKeyPath result;
  result.hive = *hive;
  if (separator != std::string_view::npos) {
    std::string_view rest = fullPath.substr(separator + 1);
    while (!rest.empty() && rest.front() == '\\') rest.remove_prefix(1);
    while (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
    result.path = std::string(rest);
  }
  return result;
}

std::string UserSid(uid_t uid) { return std::string(kSidPrefix) + std::to_string(uid); }

std::optional<uid_t> ParseUserSid(std::string_view sid) {
  if (sid.size() <= kSidPrefix.size() || !AsciiEqualsIgnoringCase(sid.substr(0, kSidPrefix.size()), kSidPrefix)) {
    return std::nullopt;
  }
  const std::string_view digits = sid.substr(kSidPrefix.size());
  if (digits.size() > 1 && digits.front() == '0') return std::nullopt;
  unsigned long long value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  // (uid_t)-1 means "no user" to the system calls.
  if (value >= std::numeric_limits<uid_t>::max()) return std::nullopt;
  return static_cast<uid_t>(value);
}

}  // namespace quorvane::platform
