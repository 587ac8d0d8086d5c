#include "service/recording/RecordingCommandLine.h"

#include <vector>

#include "platform/base/Utf16.h"

namespace TESKTV::SERVICE {

namespace {

// The start of the last whole UTF-8 character of `text` (non-empty).
std::size_t LastCharacterStart(const std::string& text) {
  std::size_t i = text.size() - 1;
  while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) --i;
  return i;
}

struct Pieces {
  std::string beforeName;  // -startr2:"123.ts" -startr2:
  std::string afterName;   // the options after the name, the folder last

  std::string With(const std::string& description) const {
    return beforeName + QuoteArgument(description + ".ts") + " " + afterName;
  }
};

// Cuts `line` after the last whole argument (blank outside quotes) that
// keeps it within the limit.
std::string CutAtArgument(const std::string& line) {
  std::size_t lastFit = 0;
  bool quoted = false;
  std::size_t slashes = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\\') {
      ++slashes;
      continue;
    }
    if (c == '"' && slashes % 2 == 0) quoted = !quoted;
    slashes = 0;
    if (c == ' ' && !quoted) {
      if (quorvane::platform::Utf16Length(std::string_view(line).substr(0, i + 1)) > kMaxCommandLineChars) break;
      lastFit = i + 1;
    }
  }
  return line.substr(0, lastFit);
}

}  // namespace

std::string QuoteArgument(std::string_view value) {
  std::string quoted = "\"";
  std::size_t slashes = 0;
  for (char c : value) {
    if (c == '\\') {
      ++slashes;
      continue;
    }
    if (c == '"') {
      quoted.append(slashes * 2 + 1, '\\');
    } else {
      quoted.append(slashes, '\\');
    }
    slashes = 0;
    quoted.push_back(c);
  }
  // Backslashes before the closing quote would escape it.
  quoted.append(slashes * 2, '\\');
  quoted.push_back('"');
  return quoted;
}

RecordingCommandLine BuildRecordingCommandLine(const SCHEDULE::ScheduleProgram& record, std::int64_t limitSeconds) {
  const SCHEDULE::StreamSettings& stream = record.GetStream();
  Pieces pieces;
  pieces.beforeName = "-startr2:\"123.ts\" -startr2:";
  pieces.afterName = "-limit:" + std::to_string(limitSeconds) + " -vinput:" + std::to_string(record.GetInSource()) + " ";
  pieces.afterName += std::string(stream.bIsCbr != 0 ? "-cbr:1" : "-cbr:0") + " -vbaver:" +
                      std::to_string(stream.lVideoAverageBitRate) + " ";
  pieces.afterName +=
      "-aoutfmt:" + std::to_string(stream.lAudioFormat) + " -abindex:" + std::to_string(stream.lAudioBitRate) + " ";
  if (record.GetSplitFile() != 0) pieces.afterName += "-splitsize:" + std::to_string(record.GetSplitSize()) + "000000 ";
  pieces.afterName += "-folder:" + QuoteArgument(record.GetRecPath()) + " ";

  RecordingCommandLine result;
  std::string description = record.GetDescription();
  result.text = pieces.With(description);
  while (quorvane::platform::Utf16Length(result.text) > kMaxCommandLineChars && !description.empty()) {
    description.erase(LastCharacterStart(description));
    result.descriptionShortened = true;
    result.text = pieces.With(description);
  }
  if (quorvane::platform::Utf16Length(result.text) > kMaxCommandLineChars) {
    result.text = CutAtArgument(result.text);
    result.argumentsDropped = true;
  }
  return result;
}

}  // namespace TESKTV::SERVICE
