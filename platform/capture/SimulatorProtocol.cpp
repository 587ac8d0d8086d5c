#include "platform/capture/SimulatorProtocol.h"

namespace quorvane::platform::simwire {
namespace {

constexpr char kHex[] = "0123456789abcdef";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string EscapeWord(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c <= 0x20 || c == 0x7F || c == '%') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += char(c);
    }
  }
  return out;
}

Result<std::string> UnescapeWord(std::string_view word) {
  std::string out;
  out.reserve(word.size());
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (word[i] != '%') {
      out += word[i];
      continue;
    }
    if (i + 2 >= word.size()) return MakeError("bad escape in \"" + std::string(word) + "\"");
    const int hi = HexValue(word[i + 1]), lo = HexValue(word[i + 2]);
    if (hi < 0 || lo < 0) return MakeError("bad escape in \"" + std::string(word) + "\"");
    out += char(hi * 16 + lo);
    i += 2;
  }
  return out;
}

Result<std::vector<std::string>> SplitLine(std::string_view line) {
  std::vector<std::string> words;
  std::size_t pos = 0;
  while (pos < line.size()) {
    if (line[pos] == ' ') {
      ++pos;
      continue;
    }
    std::size_t end = line.find(' ', pos);
    if (end == std::string_view::npos) end = line.size();
    auto word = UnescapeWord(line.substr(pos, end - pos));
    if (!word.ok()) return word.error();
    words.push_back(std::move(*word));
    pos = end;
  }
  return words;
}

std::string Field(std::string_view key, std::string_view value) {
  return std::string(key) + "=" + std::string(value);
}

std::optional<std::string> FindField(const std::vector<std::string>& words, std::string_view key) {
  for (const std::string& w : words) {
    if (w.size() > key.size() && w.compare(0, key.size(), key) == 0 && w[key.size()] == '=') {
      return w.substr(key.size() + 1);
    }
  }
  return std::nullopt;
}

std::vector<std::string> FindFields(const std::vector<std::string>& words, std::string_view key) {
  std::vector<std::string> values;
  for (const std::string& w : words) {
    if (w.size() > key.size() && w.compare(0, key.size(), key) == 0 && w[key.size()] == '=') {
      values.push_back(w.substr(key.size() + 1));
    }
  }
  return values;
}

std::string HexEncode(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) {
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
  }
  return out;
}

Result<std::vector<std::uint8_t>> HexDecode(std::string_view hex) {
  if (hex.size() % 2 != 0) return MakeError("hex text has an odd number of digits");
  std::vector<std::uint8_t> out;
  out.reserve(hex.size() / 2);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int hi = HexValue(hex[i]), lo = HexValue(hex[i + 1]);
    if (hi < 0 || lo < 0) return MakeError("hex text holds a character that is no hex digit");
    out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
  }
  return out;
}

Result<Reply> ParseReply(std::string_view line) {
  Reply reply;
  if (line == "OK" || line.starts_with("OK ")) {
    auto words = SplitLine(line.substr(2));
    if (!words.ok()) return words.error();
    reply.ok = true;
    reply.words = std::move(*words);
    return reply;
  }
  if (line == "ERR" || line.starts_with("ERR ")) {
    auto text = UnescapeWord(line.size() > 4 ? line.substr(4) : std::string_view());
    reply.error = text.ok() ? *text : std::string(line.substr(4));
    return reply;
  }
  return MakeError("the simulator answered with an unknown reply");
}

std::string OkReply(const std::vector<std::string>& words) {
  std::string line = "OK";
  for (const std::string& w : words) {
    line += ' ';
    line += EscapeWord(w);
  }
  return line;
}

std::string ErrorReply(std::string_view message) {
  // The message stays readable: only line breaks and '%' are escaped.
  std::string out = "ERR ";
  for (char c : message) {
    if (c == '\n' || c == '\r' || c == '%') {
      out += '%';
      out += kHex[(unsigned char)c >> 4];
      out += kHex[(unsigned char)c & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace quorvane::platform::simwire
