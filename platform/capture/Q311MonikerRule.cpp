#include "platform/capture/Q311MonikerRule.h"

namespace quorvane::platform {

bool MatchesQ311Moniker(std::string_view display_name) {
  const std::size_t start = display_name.find("?\\");
  if (start == std::string_view::npos) return false;
  const std::size_t from = start + 2;
  const std::size_t end = display_name.find('{', from);
  if (end == std::string_view::npos) return false;
  const std::string_view part = display_name.substr(from, end - from);
  if (part.size() < 2) return false;
  const std::string_view rest = part.substr(1);
  return rest.find("q311") != std::string_view::npos || rest.find("Q311") != std::string_view::npos;
}

}  // namespace quorvane::platform
