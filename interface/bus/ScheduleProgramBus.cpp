#include "interface/bus/ScheduleProgramBus.h"

#include <cctype>

namespace quorvane::automation {

std::string InstancePath(std::uint64_t serial) { return kInstancePathPrefix + std::to_string(serial); }

bool IsInstancePath(std::string_view path) {
  const std::string_view prefix = kInstancePathPrefix;
  if (path.size() <= prefix.size() || path.substr(0, prefix.size()) != prefix) return false;
  for (char c : path.substr(prefix.size())) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace quorvane::automation
