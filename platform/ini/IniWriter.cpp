#include "platform/ini/IniWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace quorvane::platform {
namespace {

bool HasLineBreak(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != s.npos; }

bool HasOuterBlank(std::string_view s) {
  constexpr std::string_view kBlanks = " \t\v\f";
  return !s.empty() && (kBlanks.find(s.front()) != s.npos || kBlanks.find(s.back()) != s.npos);
}

Status CheckSection(const IniSection& section) {
  if (section.name.empty() || HasLineBreak(section.name) || HasOuterBlank(section.name) ||
      section.name.find(']') != std::string::npos) {
    return MakeError("invalid section name \"" + section.name + "\"");
  }
  for (const auto& [key, text] : section.entries) {
    if (key.empty() || HasLineBreak(key) || HasOuterBlank(key) || key.find('=') != std::string::npos ||
        key.front() == '[' || key.front() == ';') {
      return MakeError("invalid key \"" + key + "\" in section " + section.name);
    }
    // Quotes around a text are taken off by the reader, so such a text
    // would not come back unchanged.
    const bool quoted = text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front();
    if (HasLineBreak(text) || HasOuterBlank(text) || quoted) {
      return MakeError("invalid text for key " + key + " in section " + section.name);
    }
  }
  return Status::Ok();
}

Status WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return MakeError(std::strerror(errno));
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return Status::Ok();
}

}  // namespace

Status WriteIniFile(const std::string& path, const std::vector<IniSection>& sections) {
  std::string content;
  for (const auto& section : sections) {
    if (auto status = CheckSection(section); !status) return status;
    content += '[' + section.name + "]\n";
    for (const auto& [key, text] : section.entries) content += key + '=' + text + '\n';
  }

  const std::string temporary = path + ".tmp" + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return MakeError("cannot create " + temporary + ": " + std::strerror(errno));
  Status written = WriteAll(fd, content);
  if (written && ::fsync(fd) != 0) written = MakeError(std::strerror(errno));
  if (::close(fd) != 0 && written) written = MakeError(std::strerror(errno));
  if (!written) {
    ::unlink(temporary.c_str());
    return MakeError("cannot write " + temporary + ": " + written.error().message);
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    ::unlink(temporary.c_str());
    return MakeError("cannot replace " + path + ": " + reason);
  }
  return Status::Ok();
}

}  // namespace quorvane::platform
