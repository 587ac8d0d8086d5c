#include "sim/CommandHandler.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "platform/capture/SimulatorProtocol.h"
#include "sim/StatusWire.h"

namespace quorvane::sim {
namespace {

namespace wire = platform::simwire;

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  return s;
}

std::string Arity(const std::string& command, std::size_t given, std::size_t wanted) {
  return command + " takes " + std::to_string(wanted) + " argument" + (wanted == 1 ? "" : "s") + ", got " +
         std::to_string(given);
}

}  // namespace

std::string CommandHandler::Handle(std::string_view line) {
  auto split = wire::SplitLine(line);
  if (!split.ok()) return wire::ErrorReply(split.error().message);
  std::vector<std::string>& words = *split;
  if (words.empty()) return wire::ErrorReply("empty request");
  const std::string command = Upper(words[0]);
  const std::size_t args = words.size() - 1;

  if (command == "IDENTIFY") {
    const auto identity = hardware_.Identity();
    return wire::OkReply({wire::Field("name", identity.friendly_name), wire::Field("moniker", identity.display_name),
                          wire::Field("inputs", std::to_string(identity.input_count))});
  }
  if (command == "SELECT-INPUT") {
    if (args != 1) return wire::ErrorReply(Arity(command, args, 1));
    int input = 0;
    const std::string& text = words[1];
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), input);
    if (ec != std::errc() || end != text.data() + text.size()) {
      return wire::ErrorReply("input \"" + text + "\" is not a number");
    }
    if (auto s = hardware_.SelectInput(input); !s) return wire::ErrorReply(s.error().message);
    return wire::OkReply();
  }
  if (command == "DETECT") {
    const auto signal = hardware_.DetectSignal();
    return wire::OkReply({wire::Field("locked", signal.locked ? "1" : "0"),
                          wire::Field("format", std::to_string(signal.format))});
  }
  if (command == "OCCUPIED") return wire::OkReply({wire::Field("occupied", hardware_.Occupied() ? "1" : "0")});
  if (command == "LEARN") {
    if (auto s = hardware_.StartLearning(); !s) return wire::ErrorReply(s.error().message);
    return wire::OkReply();
  }
  if (command == "LEARNED") {
    auto code = hardware_.TakeLearnedCode();
    if (!code) return wire::OkReply({"none"});
    return wire::OkReply({wire::Field("code", wire::HexEncode(*code))});
  }
  if (command == "SEND") {
    if (args != 1) return wire::ErrorReply(Arity(command, args, 1));
    auto bytes = wire::HexDecode(words[1]);
    if (!bytes.ok()) return wire::ErrorReply("SEND: " + bytes.error().message);
    if (bytes->size() != platform::kIrCodeSize) {
      return wire::ErrorReply("SEND: an IR code is 512 bytes, got " + std::to_string(bytes->size()));
    }
    platform::IrCodeBytes code;
    std::copy(bytes->begin(), bytes->end(), code.begin());
    auto key = hardware_.Blast(code);
    if (!key.ok()) return wire::ErrorReply("SEND: " + key.error().message);
    return wire::OkReply({wire::Field("key", *key ? std::string(KeyName(**key)) : "unknown")});
  }
  if (command == "PRESS") {
    if (args != 1 && args != 2) return wire::ErrorReply("PRESS takes a key and optionally sensor, box or both");
    auto key = ParseKeyName(words[1]);
    if (!key) {
      return wire::ErrorReply("unknown key \"" + words[1] +
                              "\" (keys: 0-9, OK, POWER, PLUS100, DOT, MENU, EXIT, GUIDE, INFO, MUTE)");
    }
    Aim aim = Aim::kSensor;
    if (args == 2) {
      const std::string where = Upper(words[2]);
      if (where == "BOX") {
        aim = Aim::kBox;
      } else if (where == "BOTH") {
        aim = Aim::kBoth;
      } else if (where != "SENSOR") {
        return wire::ErrorReply("press at \"" + words[2] + "\": expected sensor, box or both");
      }
    }
    const PressResult result = hardware_.Press(*key, aim);
    return wire::OkReply({wire::Field("key", KeyName(*key)), wire::Field("caught", result.caught ? "1" : "0"),
                          wire::Field("code", wire::HexEncode(result.code))});
  }
  if (command == "STATUS") return wire::OkReply(StatusFields(hardware_.Status()));
  if (command == "OCCUPY") {
    if (args != 1) return wire::ErrorReply(Arity(command, args, 1));
    const std::string state = Upper(words[1]);
    if (state != "ON" && state != "OFF") return wire::ErrorReply("occupy \"" + words[1] + "\": expected on or off");
    hardware_.SetOccupied(state == "ON");
    return wire::OkReply();
  }
  if (command == "CONFIGURE") {
    std::vector<std::pair<std::string, std::string>> settings;
    for (std::size_t i = 1; i < words.size(); ++i) {
      const auto eq = words[i].find('=');
      if (eq == std::string::npos || eq == 0) {
        return wire::ErrorReply("\"" + words[i] + "\" is not a setting=value pair");
      }
      settings.emplace_back(words[i].substr(0, eq), words[i].substr(eq + 1));
    }
    if (auto s = hardware_.Configure(settings); !s) return wire::ErrorReply(s.error().message);
    return wire::OkReply(BoxConfigFields(hardware_.Status().config));
  }
  if (command == "RESET") {
    hardware_.Reset();
    return wire::OkReply();
  }
  if (command == "STOP") {
    stop_requested_ = true;
    return wire::OkReply();
  }
  return wire::ErrorReply("unknown request \"" + words[0] + "\"");
}

}  // namespace quorvane::sim
