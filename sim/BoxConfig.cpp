#include "sim/BoxConfig.h"

#include <charconv>

namespace quorvane::sim {
namespace {

platform::Result<int> ParseInt(std::string_view key, std::string_view value, int low, int high) {
  int number = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (value.empty() || ec != std::errc() || end != value.data() + value.size() || number < low || number > high) {
    return platform::MakeError(std::string(key) + "=" + std::string(value) + ": expected a whole number " +
                               std::to_string(low) + ".." + std::to_string(high));
  }
  return number;
}

platform::Result<bool> ParseFlag(std::string_view key, std::string_view value) {
  if (value == "1" || value == "on" || value == "yes" || value == "true") return true;
  if (value == "0" || value == "off" || value == "no" || value == "false") return false;
  return platform::MakeError(std::string(key) + "=" + std::string(value) + ": expected 0 or 1");
}

}  // namespace

platform::Status SetBoxSetting(BoxConfig& config, std::string_view key, std::string_view value) {
  auto set_int = [&](int& field, int low, int high) -> platform::Status {
    auto n = ParseInt(key, value, low, high);
    if (!n.ok()) return n.error();
    field = *n;
    return platform::Status::Ok();
  };
  auto set_flag = [&](bool& field) -> platform::Status {
    auto b = ParseFlag(key, value);
    if (!b.ok()) return b.error();
    field = *b;
    return platform::Status::Ok();
  };
  if (key == "digits") return set_int(config.digits, 2, 4);
  if (key == "ok") return set_flag(config.ok_required);
  if (key == "hundred") return set_flag(config.hundred_key);
  if (key == "decimal") return set_flag(config.decimal);
  if (key == "commit-ms") return set_int(config.commit_ms, 0, 600000);
  if (key == "min-gap-ms") return set_int(config.min_gap_ms, 0, 60000);
  if (key == "boot-ms") return set_int(config.boot_ms, 0, 600000);
  if (key == "input") return set_int(config.input, 1, kCaptureInputCount);
  return platform::MakeError("unknown setting \"" + std::string(key) +
                             "\" (known: digits, ok, hundred, decimal, commit-ms, min-gap-ms, boot-ms, input, "
                             "power, channel)");
}

std::vector<std::string> BoxConfigFields(const BoxConfig& config) {
  return {
      "digits=" + std::to_string(config.digits),
      std::string("ok=") + (config.ok_required ? "1" : "0"),
      std::string("hundred=") + (config.hundred_key ? "1" : "0"),
      std::string("decimal=") + (config.decimal ? "1" : "0"),
      "commit-ms=" + std::to_string(config.commit_ms),
      "min-gap-ms=" + std::to_string(config.min_gap_ms),
      "boot-ms=" + std::to_string(config.boot_ms),
      "input=" + std::to_string(config.input),
  };
}

}  // namespace quorvane::sim
