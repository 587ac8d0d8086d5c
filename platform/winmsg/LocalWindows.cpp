#include "platform/winmsg/LocalWindows.h"

#include <map>
#include <mutex>

namespace quorvane::platform {

namespace {

std::mutex& Mutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<std::string, std::string>& Titles() {
  static std::map<std::string, std::string> titles;
  return titles;
}

}  // namespace

void RememberLocalWindow(const std::string& uniqueName, const std::string& title) {
  std::lock_guard<std::mutex> lock(Mutex());
  Titles()[uniqueName] = title;
}

void ForgetLocalWindow(const std::string& uniqueName) {
  std::lock_guard<std::mutex> lock(Mutex());
  Titles().erase(uniqueName);
}

std::optional<std::string> LocalWindowTitle(const std::string& uniqueName) {
  std::lock_guard<std::mutex> lock(Mutex());
  auto it = Titles().find(uniqueName);
  if (it == Titles().end()) return std::nullopt;
  return it->second;
}

}  // namespace quorvane::platform
