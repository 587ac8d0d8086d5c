#include "tools/TestCmd/RecordingCommandLine.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <optional>
#include <set>

#include "platform/base/Utf16.h"

namespace quorvane::tools::testcmd {

namespace {

using platform::MakeError;
using platform::Result;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string Unquoted(std::string value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
  return value;
}

bool EndsWithTs(const std::string& text) {
  return text.size() >= 3 && platform::EqualsIgnoringCase(text.substr(text.size() - 3), ".ts");
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
  return text;
}

Result<std::int64_t> Integer(const std::string& option, const std::string& value, std::int64_t low,
                             std::int64_t high) {
  std::int64_t number = 0;
  const char* end = value.data() + value.size();
  const auto [stop, error] = std::from_chars(value.data(), end, number);
  if (value.empty() || error != std::errc() || stop != end) {
    return MakeError("option -" + option + " needs a whole number, not \"" + value + "\"");
  }
  if (number < low || number > high) {
    return MakeError("option -" + option + " must lie between " + std::to_string(low) + " and " +
                     std::to_string(high) + ", not " + value);
  }
  return number;
}

constexpr const char* kOptionNames[] = {"startr2", "limit", "vinput", "cbr", "vbaver",
                                        "aoutfmt", "abindex", "splitsize", "folder"};

std::string OptionName(const std::string& token) {
  const std::size_t colon = token.find(':');
  return Lower(token.substr(1, colon == std::string::npos ? std::string::npos : colon - 1));
}

bool IsKnownOption(const std::string& token) {
  if (token.size() < 2 || token.front() != '-') return false;
  const std::string name = OptionName(token);
  return std::any_of(std::begin(kOptionNames), std::end(kOptionNames),
                     [&](const char* known) { return name == known; });
}

// An argument that holds several options (a command line passed whole)
// becomes those options; one option whose value has a blank
// ("-startr2:My Show.ts") stays as it is.
void AppendExpanded(const std::string& arg, std::vector<std::string>& tokens) {
  if (std::any_of(arg.begin(), arg.end(), IsBlank)) {
    std::vector<std::string> split = SplitCommandLine(arg);
    if (split.size() > 1 && std::all_of(split.begin(), split.end(), IsKnownOption)) {
      for (std::string& piece : split) tokens.push_back(std::move(piece));
      return;
    }
  }
  tokens.push_back(arg);
}

constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();
constexpr std::int64_t kIntMin = std::numeric_limits<int>::min();

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> args;
  std::string current;
  bool inArgument = false;
  bool quoted = false;
  for (std::size_t i = 0; i < line.size();) {
    const char c = line[i];
    if (c == '\\') {
      std::size_t slashes = 0;
      while (i < line.size() && line[i] == '\\') {
        ++slashes;
        ++i;
      }
      inArgument = true;
      if (i < line.size() && line[i] == '"') {
        current.append(slashes / 2, '\\');
        if (slashes % 2 == 1) {
          current.push_back('"');
          ++i;
        }
      } else {
        current.append(slashes, '\\');
      }
      continue;
    }
    if (c == '"') {
      inArgument = true;
      if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
        current.push_back('"');
        i += 2;
        continue;
      }
      quoted = !quoted;
      ++i;
      continue;
    }
    if (IsBlank(c) && !quoted) {
      if (inArgument) args.push_back(std::move(current));
      current.clear();
      inArgument = false;
      ++i;
      continue;
    }
    current.push_back(c);
    inArgument = true;
    ++i;
  }
  if (inArgument) args.push_back(std::move(current));
  return args;
}

Result<RecordingOptions> ParseRecordingCommandLine(const std::vector<std::string>& args) {
  std::vector<std::string> tokens;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i == 0 && (args[0].empty() || args[0].front() != '-')) continue;  // the program's path
    AppendExpanded(args[i], tokens);
  }
  if (tokens.empty()) return MakeError("no options given");

  RecordingOptions options;
  bool haveName = false, haveLimit = false, haveFolder = false;
  std::set<std::string> seen;
  for (const std::string& token : tokens) {
    if (token.size() < 2 || token.front() != '-') return MakeError("unexpected argument \"" + token + "\"");
    const std::size_t colon = token.find(':');
    const std::string option = OptionName(token);
    if (colon == std::string::npos) return MakeError("option -" + option + " needs a value (-" + option + ":...)");
    const std::string value = Unquoted(token.substr(colon + 1));
    if (option != "startr2" && !seen.insert(option).second) return MakeError("option -" + option + " given twice");

    if (option == "startr2") {
      std::string name = EndsWithTs(value) ? value.substr(0, value.size() - 3) : value;
      std::replace(name.begin(), name.end(), '/', '_');
      options.name = std::move(name);
      haveName = true;
    } else if (option == "limit") {
      auto n = Integer(option, value, 0, kIntMax);
      if (!n) return n.error();
      options.limitSeconds = *n;
      haveLimit = true;
    } else if (option == "vinput") {
      auto n = Integer(option, value, kIntMin, kIntMax);
      if (!n) return n.error();
      options.videoInput = static_cast<int>(*n);
    } else if (option == "cbr") {
      auto n = Integer(option, value, 0, 1);
      if (!n) return n.error();
      options.constantBitRate = *n == 1;
    } else if (option == "vbaver") {
      auto n = Integer(option, value, 1, kMaxVideoKbps);
      if (!n) return n.error();
      options.videoKbps = *n;
    } else if (option == "aoutfmt") {
      auto n = Integer(option, value, kIntMin, kIntMax);
      if (!n) return n.error();
      options.audioFormat = static_cast<int>(*n);
    } else if (option == "abindex") {
      auto n = Integer(option, value, kIntMin, kIntMax);
      if (!n) return n.error();
      options.audioBitRateIndex = static_cast<int>(*n);
    } else if (option == "splitsize") {
      auto n = Integer(option, value, 0, std::numeric_limits<std::int64_t>::max());
      if (!n) return n.error();
      options.splitBytes = *n;
    } else if (option == "folder") {
      if (value.empty()) return MakeError("option -folder needs a folder");
      options.folder = value;
      haveFolder = true;
    } else {
      return MakeError("unknown option -" + option);
    }
  }
  if (!haveName) return MakeError("missing option -startr2:\"<name>.ts\"");
  if (!haveLimit) return MakeError("missing option -limit:<seconds>");
  if (!haveFolder) return MakeError("missing option -folder:\"<folder>\"");
  return options;
}

std::string_view RecordingUsage() {
  return "usage: TestCmd -startr2:\"<name>.ts\" -limit:<seconds> -folder:\"<folder>\" [options]\n"
         "  -startr2:\"<name>.ts\"  recording name (the last one given counts)\n"
         "  -limit:<seconds>       length of the recording (0 or more)\n"
         "  -folder:\"<folder>\"     folder of the recording (created when missing)\n"
         "  -vbaver:<kbit/s>       video bit rate, 1 to 1000000 (default 8000)\n"
         "  -splitsize:<bytes>     start a new piece after this many bytes (0: no split)\n"
         "  -vinput:<n> -cbr:<0|1> -aoutfmt:<n> -abindex:<n>   logged only\n";
}

}  // namespace quorvane::tools::testcmd
