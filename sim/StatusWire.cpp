#include "sim/StatusWire.h"

#include <charconv>
#include <cstdlib>

#include "platform/capture/SimulatorProtocol.h"

namespace quorvane::sim {
namespace {

using platform::simwire::FindField;
using platform::simwire::FindFields;

}  // namespace

std::string_view SensorStateName(SensorState state) {
  switch (state) {
    case SensorState::kIdle: return "idle";
    case SensorState::kWaiting: return "waiting";
    case SensorState::kHolding: return "holding";
  }
  return "idle";
}

std::vector<std::string> StatusFields(const HardwareStatus& status) {
  std::vector<std::string> words = {
      std::string("power=") + (status.power ? "on" : "off"),
      std::string("starting=") + (status.starting ? "1" : "0"),
      "channel=" + status.channel,
      "entry=" + status.entry,
      "selected-input=" + std::to_string(status.selected_input),
      std::string("signal=") + (status.signal ? "locked" : "none"),
      std::string("occupied=") + (status.occupied ? "1" : "0"),
      "sensor=" + std::string(SensorStateName(status.sensor)),
      "held=" + status.held_key,
  };
  for (std::string& field : BoxConfigFields(status.config)) words.push_back(std::move(field));
  for (const auto& line : status.received) {
    words.push_back("log=" + std::to_string(line.at_ms) + "|" + line.key + "|" + line.effect);
  }
  return words;
}

platform::Result<HardwareStatus> ParseStatusFields(const std::vector<std::string>& words) {
  HardwareStatus status;
  auto need = [&](std::string_view key) -> platform::Result<std::string> {
    auto value = FindField(words, key);
    if (!value) return platform::MakeError("the status lacks " + std::string(key));
    return *value;
  };
  auto power = need("power");
  auto channel = need("channel");
  auto signal = need("signal");
  if (!power.ok()) return power.error();
  if (!channel.ok()) return channel.error();
  if (!signal.ok()) return signal.error();
  status.power = *power == "on";
  status.starting = FindField(words, "starting").value_or("0") == "1";
  status.channel = *channel;
  status.entry = FindField(words, "entry").value_or("");
  status.signal = *signal == "locked";
  status.occupied = FindField(words, "occupied").value_or("0") == "1";
  const std::string sensor = FindField(words, "sensor").value_or("idle");
  status.sensor = sensor == "waiting" ? SensorState::kWaiting
                  : sensor == "holding" ? SensorState::kHolding
                                        : SensorState::kIdle;
  status.held_key = FindField(words, "held").value_or("");
  const std::string selected = FindField(words, "selected-input").value_or("1");
  (void)std::from_chars(selected.data(), selected.data() + selected.size(), status.selected_input);
  for (const char* key : {"digits", "ok", "hundred", "decimal", "commit-ms", "min-gap-ms", "boot-ms", "input"}) {
    auto value = need(key);
    if (!value.ok()) return value.error();
    if (auto s = SetBoxSetting(status.config, key, *value); !s) return s.error();
  }
  for (const std::string& line : FindFields(words, "log")) {
    const auto bar1 = line.find('|');
    const auto bar2 = bar1 == std::string::npos ? std::string::npos : line.find('|', bar1 + 1);
    if (bar2 == std::string::npos) return platform::MakeError("bad log line in the status: " + line);
    HardwareStatus::LogLine entry;
    entry.at_ms = std::strtol(line.c_str(), nullptr, 10);
    entry.key = line.substr(bar1 + 1, bar2 - bar1 - 1);
    entry.effect = line.substr(bar2 + 1);
    status.received.push_back(std::move(entry));
  }
  return status;
}

}  // namespace quorvane::sim
