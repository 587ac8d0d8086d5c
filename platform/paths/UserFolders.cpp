#include "platform/paths/UserFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/ini/IniEncoding.h"
#include "platform/paths/PathJoin.h"

namespace quorvane::platform {
namespace {

// XDG variables holding a relative path are invalid and ignored.
std::optional<std::string> AbsoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return std::nullopt;
  return std::string(value);
}

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// One entry of user-dirs.dirs: NAME="$HOME/Folder" or NAME="/absolute".
std::optional<std::string> UserDirsEntry(const std::string& file, std::string_view name, const std::string& home) {
  const auto text = ReadIniFileText(file, 64 * 1024);
  if (!text) return std::nullopt;
  std::string_view rest = *text;
  while (!rest.empty()) {
    const auto end = rest.find('\n');
    const std::string_view line = Trim(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos || Trim(line.substr(0, equals)) != name) continue;
    std::string_view value = Trim(line.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    std::string path;
    for (std::size_t i = 0; i < value.size(); ++i) {
      if (value[i] == '\\' && i + 1 < value.size()) ++i;  // shell-style escape
      path += value[i];
    }
    if (path.rfind("$HOME", 0) == 0) {
      path = home + path.substr(5);
    }
    if (path.empty() || path.front() != '/') return std::nullopt;
    // "$HOME/" switches the folder off; the home folder stands in for it.
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
  }
  return std::nullopt;
}

}  // namespace

Result<std::string> HomeFolder() {
  if (auto home = AbsoluteFromEnvironment("HOME")) return *home;
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return std::string(found->pw_dir);
  }
  return MakeError("no home folder: HOME is not set and the account has none");
}

Result<std::string> LocalAppDataFolder() {
  if (auto dir = AbsoluteFromEnvironment("XDG_DATA_HOME")) return *dir;
  auto home = HomeFolder();
  if (!home) return home.error();
  return JoinPath(*home, ".local/share");
}

Result<std::string> ConfigHomeFolder() {
  if (auto dir = AbsoluteFromEnvironment("XDG_CONFIG_HOME")) return *dir;
  auto home = HomeFolder();
  if (!home) return home.error();
  return JoinPath(*home, ".config");
}

Result<std::string> DocumentsFolder() {
  if (auto dir = AbsoluteFromEnvironment("XDG_DOCUMENTS_DIR")) return *dir;
  auto home = HomeFolder();
  if (!home) return home.error();
  if (auto config = ConfigHomeFolder()) {
    if (auto entry = UserDirsEntry(JoinPath(*config, "user-dirs.dirs"), "XDG_DOCUMENTS_DIR", *home)) return *entry;
  }
  return JoinPath(*home, "Documents");
}

}  // namespace quorvane::platform
