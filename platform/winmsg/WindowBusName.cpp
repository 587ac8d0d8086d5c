#include "platform/winmsg/WindowBusName.h"

namespace quorvane::platform {

namespace {

constexpr std::size_t kMaxBusName = 255;

bool IsNameCharacter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

Result<std::string> WindowBusName(std::string_view className) {
  if (className.empty()) return MakeError("a window class needs a name");
  std::string name = kWindowBusPrefix;
  if (className.front() >= '0' && className.front() <= '9') name.push_back('_');
  for (const char c : className) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsNameCharacter(byte)) {
      name.push_back(c);
    } else if (byte < 0x80 || byte >= 0xC0) {
      name.push_back('_');  // one per character: UTF-8 continuation bytes add none
    }
  }
  if (name.size() > kMaxBusName) return MakeError("window class name too long: " + std::string(className));
  return name;
}

}  // namespace quorvane::platform
