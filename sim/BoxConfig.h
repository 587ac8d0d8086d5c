#pragma once
// How the simulated set-top box takes channel numbers, and where it is
// wired to the capture device.

#include <string>
#include <string_view>
#include <vector>

#include "platform/base/Result.h"

namespace quorvane::sim {

struct BoxConfig {
  int digits = 3;             // width W: a number of W digits tunes at once (2, 3 or 4)
  bool ok_required = false;   // a shorter number needs OK/Enter
  bool hundred_key = false;   // the +100 key stands for a leading 1 of a three-digit number
  bool decimal = false;       // channels like "13.2" with the dot key
  int commit_ms = 2000;       // pause after which a pending entry is settled
  int min_gap_ms = 150;       // keys closer to the previous received key are missed
  int boot_ms = 0;            // after power on, keys other than POWER are ignored this long
  int input = 1;              // capture input the box's video is wired to (1..4)
};

inline constexpr int kCaptureInputCount = 4;

// Sets one setting by its front-end name: digits, ok, hundred, decimal,
// commit-ms, min-gap-ms, boot-ms, input. Bad names and values are errors
// naming the allowed values.
platform::Status SetBoxSetting(BoxConfig& config, std::string_view key, std::string_view value);

// The settings as "name=value" words, in the order above.
std::vector<std::string> BoxConfigFields(const BoxConfig& config);

}  // namespace quorvane::sim
