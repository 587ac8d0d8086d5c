#include "tools/quorvane-reg/RegFile.h"

#include <cstdint>
#include <optional>

#include "platform/base/Utf16.h"
#include "platform/registry/HiveNames.h"
#include "platform/registry/KeyPath.h"

namespace quorvane::tools {

using platform::Error;
using platform::MakeError;
using platform::NamedValue;
using platform::RegistryValue;
using platform::Result;
using platform::Status;
using platform::ValueType;

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::size_t kLineWidth = 80;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(text[i]) != lower(prefix[i])) return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

Error AtLine(int line, const std::string& message) {
  return MakeError("line " + std::to_string(line) + ": " + message);
}

// Turns the file's bytes into UTF-8 text without byte-order mark.
Result<std::string> DecodeFile(std::string_view content) {
  if (content.size() >= 2 && static_cast<unsigned char>(content[0]) == 0xFF &&
      static_cast<unsigned char>(content[1]) == 0xFE) {
    content.remove_prefix(2);
    if (content.size() % 2 != 0) return MakeError("the UTF-16 file ends in the middle of a character");
    std::u16string units;
    units.reserve(content.size() / 2);
    for (std::size_t i = 0; i < content.size(); i += 2) {
      units += static_cast<char16_t>(static_cast<unsigned char>(content[i]) |
                                     (static_cast<unsigned char>(content[i + 1]) << 8));
    }
    return platform::ToUtf8(units);
  }
  if (content.size() >= 3 && content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
  if (!platform::IsValidUtf8(content)) return MakeError("the file is not UTF-8 text");
  return std::string(content);
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (true) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// Reads a quoted string at text[0] == '"'; advances text past the closing quote.
Result<std::string> ReadQuoted(std::string_view& text, int line) {
  std::string out;
  std::size_t i = 1;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') break;
    if (c == '\\') {
      if (i + 1 >= text.size()) return AtLine(line, "unfinished escape");
      const char next = text[++i];
      if (next != '\\' && next != '"') return AtLine(line, std::string("unknown escape \\") + next);
      out += next;
    } else {
      out += c;
    }
  }
  if (i >= text.size()) return AtLine(line, "missing closing quote");
  text.remove_prefix(i + 1);
  return out;
}

Status CheckTextLength(const std::string& text, int line) {
  const std::size_t units = platform::Utf16Length(text);
  if (units > kMaxTextUnits) {
    return AtLine(line, "text of " + std::to_string(units) + " UTF-16 units is longer than the " +
                            std::to_string(kMaxTextUnits) + " a reader's buffer holds");
  }
  return Status::Ok();
}

Result<std::vector<std::uint8_t>> ParseHexBytes(std::string_view list, int line) {
  std::vector<std::uint8_t> bytes;
  list = Trim(list);
  if (list.empty()) return bytes;
  if (list.back() == ',') list.remove_suffix(1);
  while (true) {
    const std::size_t comma = list.find(',');
    const std::string_view item = Trim(list.substr(0, comma));
    if (item.empty() || item.size() > 2) return AtLine(line, "bad byte \"" + std::string(item) + "\" in hex data");
    int value = 0;
    for (char c : item) {
      const int digit = HexDigit(c);
      if (digit < 0) return AtLine(line, "bad byte \"" + std::string(item) + "\" in hex data");
      value = value * 16 + digit;
    }
    bytes.push_back(static_cast<std::uint8_t>(value));
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return bytes;
}

// UTF-16LE text with its terminator, as hex(1) holds REG_SZ.
Result<std::string> DecodeUtf16Text(const std::vector<std::uint8_t>& bytes, int line) {
  if (bytes.size() % 2 != 0) return AtLine(line, "hex(1) data of odd length");
  std::u16string units;
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    units += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
  }
  if (!units.empty() && units.back() == u'\0') units.pop_back();
  return platform::ToUtf8(units);
}

Result<RegistryValue> ParseData(std::string_view data, int line) {
  data = Trim(data);
  if (!data.empty() && data.front() == '"') {
    auto text = ReadQuoted(data, line);
    if (!text) return text.error();
    if (!Trim(data).empty()) return AtLine(line, "text after the closing quote");
    Status length = CheckTextLength(*text, line);
    if (!length) return length.error();
    return RegistryValue::String(std::move(*text));
  }
  if (StartsWithIgnoringCase(data, "dword:")) {
    const std::string_view digits = Trim(data.substr(6));
    if (digits.empty() || digits.size() > 8) return AtLine(line, "a dword needs 1 to 8 hexadecimal digits");
    std::uint32_t value = 0;
    for (char c : digits) {
      const int digit = HexDigit(c);
      if (digit < 0) return AtLine(line, "bad hexadecimal digit in dword");
      value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return RegistryValue::Dword(value);
  }
  if (StartsWithIgnoringCase(data, "hex")) {
    std::string_view rest = data.substr(3);
    int type = 3;
    if (!rest.empty() && rest.front() == '(') {
      const std::size_t close = rest.find(')');
      if (close == std::string_view::npos || close == 1 || close > 9) return AtLine(line, "bad hex(type)");
      type = 0;
      for (char c : rest.substr(1, close - 1)) {
        const int digit = HexDigit(c);
        if (digit < 0) return AtLine(line, "bad hex(type)");
        type = type * 16 + digit;
      }
      rest.remove_prefix(close + 1);
    }
    if (rest.empty() || rest.front() != ':') return AtLine(line, "missing ':' after hex");
    auto bytes = ParseHexBytes(rest.substr(1), line);
    if (!bytes) return bytes.error();
    switch (type) {
      case 1: {
        auto text = DecodeUtf16Text(*bytes, line);
        if (!text) return text.error();
        Status length = CheckTextLength(*text, line);
        if (!length) return length.error();
        return RegistryValue::String(std::move(*text));
      }
      case 3:
        return RegistryValue::Binary(std::move(*bytes));
      case 4: {
        if (bytes->size() != 4) return AtLine(line, "hex(4) data must be 4 bytes");
        const auto& b = *bytes;
        return RegistryValue::Dword(static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
                                    (static_cast<std::uint32_t>(b[2]) << 16) |
                                    (static_cast<std::uint32_t>(b[3]) << 24));
      }
      default:
        return AtLine(line, "value type hex(" + std::to_string(type) +
                                ") is not supported (only REG_SZ, REG_DWORD and REG_BINARY)");
    }
  }
  return AtLine(line, "unrecognised value data");
}

Status CheckKeyPath(std::string_view path, int line) {
  for (std::string_view name : platform::SplitKeyPath(path)) {
    Status valid = platform::ValidateKeyName(name);
    if (!valid) return AtLine(line, valid.error().message);
  }
  return Status::Ok();
}

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

std::string Hex2(std::uint8_t byte) {
  static constexpr char kDigits[] = "0123456789abcdef";
  return {kDigits[byte >> 4], kDigits[byte & 0xF]};
}

// "prefix:" and the bytes, wrapped after a comma as regedit wraps them.
std::string FormatHex(std::string line, const std::vector<std::uint8_t>& bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::string piece = Hex2(bytes[i]);
    if (i + 1 < bytes.size()) piece += ',';
    if (line.size() + piece.size() + 1 > kLineWidth && i > 0) {
      out += line + "\\\n";
      line = "  ";
    }
    line += piece;
  }
  return out + line;
}

}  // namespace

Result<std::vector<RegFileChange>> ParseRegFile(std::string_view content) {
  auto text = DecodeFile(content);
  if (!text) return text.error();
  const auto lines = SplitLines(*text);

  std::size_t index = 0;
  while (index < lines.size() && Trim(lines[index]).empty()) ++index;
  if (index == lines.size()) return MakeError("the file is empty");
  const std::string_view header = Trim(lines[index]);
  if (header != kHeader5 && header != kHeader4) {
    return AtLine(static_cast<int>(index + 1), "not a registration file (expected \"" + std::string(kHeader5) +
                                                   "\" or \"" + std::string(kHeader4) + "\")");
  }

  std::vector<RegFileChange> changes;
  std::optional<platform::FullKeyPath> section;  // none before the first key and after [-KEY]
  for (++index; index < lines.size(); ++index) {
    const int lineNumber = static_cast<int>(index + 1);
    std::string_view line = Trim(lines[index]);
    if (line.empty() || line.front() == ';') continue;

    if (line.front() == '[') {
      if (line.back() != ']') return AtLine(lineNumber, "missing ']'");
      std::string_view inner = line.substr(1, line.size() - 2);
      const bool remove = !inner.empty() && inner.front() == '-';
      if (remove) inner.remove_prefix(1);
      auto key = platform::ParseFullKeyPath(Trim(inner));
      if (!key) return AtLine(lineNumber, key.error().message);
      Status validPath = CheckKeyPath(key->path, lineNumber);
      if (!validPath) return validPath.error();
      RegFileChange change;
      change.hive = key->hive;
      change.path = key->path;
      change.line = lineNumber;
      if (remove) {
        if (key->path.empty()) return AtLine(lineNumber, "a hive root cannot be deleted");
        change.kind = RegFileChange::Kind::DeleteTree;
        section.reset();
      } else {
        change.kind = RegFileChange::Kind::CreateKey;
        section = *key;
      }
      changes.push_back(std::move(change));
      continue;
    }

    std::string name;
    std::string_view rest = line;
    if (rest.front() == '@') {
      rest.remove_prefix(1);
    } else if (rest.front() == '"') {
      auto quoted = ReadQuoted(rest, lineNumber);
      if (!quoted) return quoted.error();
      name = std::move(*quoted);
    } else {
      return AtLine(lineNumber, "expected [KEY], \"name\"=data or @=data");
    }
    rest = Trim(rest);
    if (rest.empty() || rest.front() != '=') return AtLine(lineNumber, "missing '=' after the value name");
    rest.remove_prefix(1);
    if (!section) return AtLine(lineNumber, "value outside a key section");
    Status validName = platform::ValidateValueName(name);
    if (!validName) return AtLine(lineNumber, validName.error().message);

    RegFileChange change;
    change.hive = section->hive;
    change.path = section->path;
    change.valueName = std::move(name);
    change.line = lineNumber;
    std::string data(Trim(rest));
    // Hex data may continue over several lines, each but the last ending in '\'.
    if (StartsWithIgnoringCase(data, "hex")) {
      while (!data.empty() && data.back() == '\\') {
        data.pop_back();
        if (++index >= lines.size() || Trim(lines[index]).empty()) {
          return AtLine(lineNumber, "hex data continues past its last line");
        }
        data += Trim(lines[index]);
      }
    }
    if (data == "-") {
      change.kind = RegFileChange::Kind::DeleteValue;
    } else {
      auto value = ParseData(data, lineNumber);
      if (!value) return value.error();
      change.kind = RegFileChange::Kind::SetValue;
      change.value = std::move(*value);
    }
    changes.push_back(std::move(change));
  }
  return changes;
}

std::string FormatRegValue(const NamedValue& named) {
  std::string line = named.name.empty() ? std::string("@") : "\"" + Escape(named.name) + "\"";
  line += '=';
  const RegistryValue& value = named.value;
  switch (value.type) {
    case ValueType::String: {
      // Line breaks and NUL characters cannot stand inside quotes.
      if (value.text.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos) {
        return line + "\"" + Escape(value.text) + "\"";
      }
      std::vector<std::uint8_t> bytes;
      for (char16_t unit : platform::ToUtf16(value.text)) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
      }
      bytes.push_back(0);
      bytes.push_back(0);
      return FormatHex(line + "hex(1):", bytes);
    }
    case ValueType::Dword: {
      std::string digits;
      for (int shift = 28; shift >= 0; shift -= 4) digits += "0123456789abcdef"[(value.dword >> shift) & 0xF];
      return line + "dword:" + digits;
    }
    case ValueType::Binary:
      return FormatHex(line + "hex:", value.bytes);
  }
  return line;
}

std::string FormatRegFile(const std::vector<RegFileKey>& keys) {
  std::string out(kHeader5);
  out += "\n\n";
  for (const auto& key : keys) {
    out += "[" + key.path + "]\n";
    for (const auto& value : key.values) out += FormatRegValue(value) + "\n";
    out += "\n";
  }
  return out;
}

}  // namespace quorvane::tools
