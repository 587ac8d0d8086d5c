#pragma once
// Which capture devices are Q311 devices: the part of the moniker display
// name between "?\" and the first "{" after it contains "q311" or "Q311"
// after its first character.

#include <string_view>

namespace quorvane::platform {

bool MatchesQ311Moniker(std::string_view display_name);

}  // namespace quorvane::platform
