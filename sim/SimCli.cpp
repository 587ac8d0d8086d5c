#include "sim/SimCli.h"

#include <charconv>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/capture/SimulatorProtocol.h"
#include "platform/capture/SimulatorSocket.h"
#include "sim/CommandHandler.h"
#include "sim/SimServer.h"
#include "sim/SimulatedHardware.h"
#include "sim/StatusWire.h"
#include "sim/TeachCommand.h"

namespace quorvane::sim {
namespace {

namespace wire = platform::simwire;

constexpr const char* kUsage = R"(Usage: q311-sim [--socket PATH] COMMAND [ARGUMENTS]

The simulated Q311 USB capture device, the set-top box wired to it and the
box's remote control.

Commands:
  serve [--seed N]        Run the simulator in the foreground until it is
                          stopped (Ctrl+C, SIGTERM or "q311-sim stop").
                          N seeds the remote's timing jitter.
  press [--at WHERE] KEY  Press a key of the remote. WHERE is both (the
                          default: the remote points at the box and the
                          capture device's IR sensor), sensor (only the
                          sensor, which takes the code while it is
                          learning) or box.
                          Keys: 0-9 OK POWER PLUS100 DOT MENU EXIT GUIDE
                          INFO MUTE (also ENTER, +100 and .).
  teach FILE              Write a key file with this remote's keys in
                          their key positions (0-9, OK, POWER, PLUS100,
                          DOT), as learning them one by one would.
  status                  Show the box (power, channel, the number being
                          typed, settings), the capture device (selected
                          input, signal, occupied, sensor) and the keys the
                          box received, with their times.
  occupy on|off           Mark the capture device as held by another
                          capture application, or free it.
  configure SETTING=VALUE...
                          Change settings, all or none of them:
                            digits=2|3|4    digits of a full channel number
                                            (a full number tunes at once)
                            ok=0|1          OK/Enter needed after a shorter
                                            number; without OK the box drops
                                            it after the pause
                            hundred=0|1     the box has a +100 key
                            decimal=0|1     channels like 13.2 with the dot key
                            commit-ms=N     pause after which a typed number
                                            is settled (default 2000)
                            min-gap-ms=N    keys closer than this to the
                                            previous key are missed (default 150)
                            boot-ms=N       start-up time after power on,
                                            without picture (default 0)
                            input=1..4      capture input the box is wired to
                            power=on|off    switch the box directly
                            channel=N[.M]   tune the box directly
  reset                   Back to the start: default settings, box off on
                          channel 1, input 1, device free, log empty.
  stop                    End the running simulator.
  help, --help            Show this text.

The socket is PATH, else $QUORVANE_SIM_SOCKET, else
$XDG_RUNTIME_DIR/quorvane/q311-sim.sock, else /tmp/quorvane-<uid>/q311-sim.sock.
Exit status: 0 on success; 1 on bad input, when no simulator runs or when it
refuses the request.
)";

std::string FormatSeconds(long ms) {
  char text[32];
  std::snprintf(text, sizeof(text), "%ld.%03ld", ms / 1000, ms % 1000);
  return text;
}

void PrintStatus(const HardwareStatus& s, std::ostream& out) {
  out << "box:       ";
  if (!s.power) {
    out << "off (channel " << s.channel << " when switched on)\n";
  } else {
    out << "on, channel " << s.channel << (s.starting ? " (starting)" : "") << "\n";
  }
  if (!s.entry.empty()) out << "typing:    " << s.entry << "\n";
  out << "settings: ";
  for (const std::string& field : BoxConfigFields(s.config)) out << " " << field;
  out << "\n";
  out << "capture:   input " << s.selected_input << " selected, box on input " << s.config.input << ", "
      << (s.signal ? "signal locked" : "no signal") << "\n";
  out << "occupied:  " << (s.occupied ? "yes" : "no") << "\n";
  out << "sensor:    ";
  switch (s.sensor) {
    case SensorState::kIdle: out << "idle\n"; break;
    case SensorState::kWaiting: out << "waiting for a key press\n"; break;
    case SensorState::kHolding: out << "holding the code of key " << s.held_key << "\n"; break;
  }
  out << "received:\n";
  if (s.received.empty()) out << "  (nothing)\n";
  long previous = -1;
  for (const auto& line : s.received) {
    char head[64];
    const std::string gap = previous < 0 ? "" : "+" + FormatSeconds(line.at_ms - previous) + "s";
    std::snprintf(head, sizeof(head), "  %10ss %10s  %-8s ", FormatSeconds(line.at_ms).c_str(), gap.c_str(),
                  line.key.c_str());
    out << head << line.effect << "\n";
    previous = line.at_ms;
  }
}

int Serve(const std::string& socket, const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::uint32_t seed = std::random_device{}();
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--seed" && i + 1 < args.size()) {
      const std::string& text = args[++i];
      const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seed);
      if (ec != std::errc() || end != text.data() + text.size()) {
        err << "q311-sim: --seed " << text << ": expected a whole number\n";
        return 1;
      }
    } else {
      err << "q311-sim: serve: unexpected argument \"" << args[i] << "\" (see q311-sim --help)\n";
      return 1;
    }
  }
  auto server = SimServer::Listen(socket);
  if (!server.ok()) {
    err << "q311-sim: " << server.error().message << "\n";
    return 1;
  }
  SimulatedHardware hardware(platform::RealClock(), seed);
  CommandHandler handler(hardware);
  auto ready = [&] { out << "q311-sim: serving on " << socket << std::endl; };
  if (auto s = server->Run(handler, ready); !s) {
    err << "q311-sim: " << s.error().message << "\n";
    return 1;
  }
  return 0;
}

// Sends one request; prints the daemon's refusal or the failure to reach it.
platform::Result<std::vector<std::string>> Ask(const std::string& socket, const std::string& request) {
  auto connection = platform::SimulatorConnection::Connect(socket);
  if (!connection.ok()) {
    return platform::MakeError("no simulator is running on " + socket + " (start one with \"q311-sim serve\")");
  }
  auto line = connection->Exchange(request);
  if (!line.ok()) return line.error();
  auto reply = wire::ParseReply(*line);
  if (!reply.ok()) return reply.error();
  if (!reply->ok) return platform::MakeError(reply->error);
  return std::move(reply->words);
}

}  // namespace

int RunSimCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  std::string socket;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--socket") {
      if (i + 1 >= argc) {
        err << "q311-sim: --socket needs a path\n";
        return 1;
      }
      socket = argv[++i];
    } else if (arg.starts_with("--socket=")) {
      socket = arg.substr(9);
    } else {
      args.push_back(arg);
    }
  }
  if (args.empty()) {
    err << "q311-sim: no command given\n\n" << kUsage;
    return 1;
  }
  const std::string command = args[0];
  args.erase(args.begin());
  if (command == "help" || command == "--help" || command == "-h") {
    out << kUsage;
    return 0;
  }
  if (socket.empty()) socket = platform::SimulatorSocketPath();
  if (command == "serve") return Serve(socket, args, out, err);
  if (command == "teach") {
    if (args.size() != 1) {
      err << "q311-sim: teach takes the key file to write (see q311-sim --help)\n";
      return 1;
    }
    return RunTeach(args[0], out, err);
  }

  auto fail = [&](const std::string& message) {
    err << "q311-sim: " << message << "\n";
    return 1;
  };
  auto usage = [&](const std::string& message) { return fail(message + " (see q311-sim --help)"); };

  std::string request;
  if (command == "press") {
    std::string where = "both";
    std::vector<std::string> keys;
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (args[i] == "--at" && i + 1 < args.size()) {
        where = args[++i];
      } else if (args[i].starts_with("--at=")) {
        where = args[i].substr(5);
      } else {
        keys.push_back(args[i]);
      }
    }
    if (keys.size() != 1) return usage("press takes one key");
    request = "PRESS " + wire::EscapeWord(keys[0]) + " " + wire::EscapeWord(where);
  } else if (command == "status") {
    if (!args.empty()) return usage("status takes no arguments");
    request = "STATUS";
  } else if (command == "occupy") {
    if (args.size() != 1 || (args[0] != "on" && args[0] != "off")) return usage("occupy takes on or off");
    request = "OCCUPY " + args[0];
  } else if (command == "configure") {
    if (args.empty()) return usage("configure needs at least one SETTING=VALUE");
    request = "CONFIGURE";
    for (const std::string& a : args) {
      if (a.find('=') == std::string::npos || a.front() == '=') return usage("\"" + a + "\" is not SETTING=VALUE");
      request += " " + wire::EscapeWord(a);
    }
  } else if (command == "reset") {
    if (!args.empty()) return usage("reset takes no arguments");
    request = "RESET";
  } else if (command == "stop") {
    if (!args.empty()) return usage("stop takes no arguments");
    request = "STOP";
  } else {
    return usage("unknown command \"" + command + "\"");
  }

  auto words = Ask(socket, request);
  if (!words.ok()) return fail(words.error().message);

  if (command == "press") {
    out << "pressed " << wire::FindField(*words, "key").value_or("?");
    if (wire::FindField(*words, "caught").value_or("0") == "1") out << " (the sensor took the code)";
    out << "\n";
  } else if (command == "status") {
    auto status = ParseStatusFields(*words);
    if (!status.ok()) return fail(status.error().message);
    PrintStatus(*status, out);
  } else if (command == "configure") {
    out << "settings:";
    for (const std::string& w : *words) out << " " << w;
    out << "\n";
  } else if (command == "occupy") {
    out << "device " << (args[0] == "on" ? "occupied" : "free") << "\n";
  } else if (command == "reset") {
    out << "simulator reset\n";
  } else if (command == "stop") {
    out << "simulator stopped\n";
  }
  return 0;
}

}  // namespace quorvane::sim
