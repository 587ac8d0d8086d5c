#pragma once
// "q311-sim teach FILE": writes a key file with the simulated remote's
// fourteen keys in their key positions (digits 0-9, OK, power, +100, dot),
// as the learning wizard would after learning each key from this remote.

#include <ostream>
#include <string>

namespace quorvane::sim {

int RunTeach(const std::string& path, std::ostream& out, std::ostream& err);

}  // namespace quorvane::sim
