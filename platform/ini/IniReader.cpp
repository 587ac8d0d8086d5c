#include "platform/ini/IniReader.h"

#include <climits>
#include <cstdint>

#include "platform/base/Utf16.h"
#include "platform/ini/IniEncoding.h"

namespace quorvane::platform {
namespace {

constexpr std::string_view kBlanks = " \t\v\f";

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

std::string_view StripQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

bool IsLineBreak(char c) { return c == '\n' || c == '\r' || c == '\0'; }

}  // namespace

std::optional<std::string> FindIniValue(std::string_view text, std::string_view section, std::string_view key) {
  const std::string wantedSection = FoldCase(Trim(section));
  const std::string wantedKey = FoldCase(Trim(key));
  if (wantedKey.empty()) return std::nullopt;

  bool inSection = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = pos;
    while (end < text.size() && !IsLineBreak(text[end])) ++end;
    const std::string_view line = Trim(text.substr(pos, end - pos));
    pos = end + 1;

    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      // A header without its closing bracket still names a section.
      std::string_view name = line.substr(1);
      name = name.substr(0, name.find(']'));
      inSection = FoldCase(Trim(name)) == wantedSection;
      continue;
    }
    if (!inSection) continue;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (FoldCase(Trim(line.substr(0, equals))) != wantedKey) continue;
    return std::string(StripQuotes(Trim(line.substr(equals + 1))));
  }
  return std::nullopt;
}

int ParseIniInt(std::string_view value, int fallback) {
  value = Trim(value);
  if (value.empty()) return fallback;
  bool negative = false;
  std::size_t i = 0;
  if (value[0] == '+' || value[0] == '-') {
    negative = value[0] == '-';
    ++i;
  }
  std::int64_t number = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    number = number * 10 + (value[i] - '0');
    if (number > static_cast<std::int64_t>(INT_MAX) + 1) number = static_cast<std::int64_t>(INT_MAX) + 1;
  }
  if (negative) number = -number;
  if (number > INT_MAX) number = INT_MAX;
  return static_cast<int>(number);
}

std::optional<std::string> ReadIniString(const std::string& path, std::string_view section, std::string_view key) {
  const auto text = ReadIniFileText(path);
  if (!text) return std::nullopt;
  return FindIniValue(*text, section, key);
}

int ReadIniInt(const std::string& path, std::string_view section, std::string_view key, int fallback) {
  const auto value = ReadIniString(path, section, key);
  return value ? ParseIniInt(*value, fallback) : fallback;
}

}  // namespace quorvane::platform
