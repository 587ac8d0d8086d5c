#pragma once
// The line protocol of the q311-sim daemon: one request line, one reply
// line, over a Unix stream socket.
//
// A line is words separated by spaces. A word that holds a space, '%' or a
// control character has it written as %XX; a field is a word "key=value".
// Replies are "OK [words...]" or "ERR <message>". IR codes travel as 1024
// hex digits.
//
// Device requests (the capture backend):
//   IDENTIFY              -> OK name=<friendly> moniker=<display name> inputs=<n>
//   SELECT-INPUT <n>      -> OK
//   DETECT                -> OK locked=0|1 format=<n>
//   OCCUPIED              -> OK occupied=0|1
//   LEARN                 -> OK                 (arms the IR sensor)
//   LEARNED               -> OK code=<hex> | OK none
//   SEND <hex>            -> OK key=<key name>|key=unknown
// Requests of people and tests (q311-sim front end):
//   PRESS <key> [sensor|box|both] -> OK key=<key> code=<hex>
//   STATUS                -> OK <status fields>
//   OCCUPY on|off         -> OK
//   CONFIGURE <k=v>...    -> OK <config fields>
//   RESET                 -> OK
//   STOP                  -> OK                 (the daemon ends)

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/Result.h"

namespace quorvane::platform::simwire {

inline constexpr std::size_t kMaxRequestLine = 8 * 1024;
inline constexpr std::size_t kMaxReplyLine = 256 * 1024;

std::string EscapeWord(std::string_view text);
Result<std::string> UnescapeWord(std::string_view word);

// Words of a line, unescaped.
Result<std::vector<std::string>> SplitLine(std::string_view line);

std::string Field(std::string_view key, std::string_view value);
// The value of the first field named key.
std::optional<std::string> FindField(const std::vector<std::string>& words, std::string_view key);
// Every value of fields named key, in order.
std::vector<std::string> FindFields(const std::vector<std::string>& words, std::string_view key);

std::string HexEncode(std::span<const std::uint8_t> bytes);
Result<std::vector<std::uint8_t>> HexDecode(std::string_view hex);

struct Reply {
  bool ok = false;
  std::vector<std::string> words;  // after "OK"
  std::string error;               // after "ERR"
};
Result<Reply> ParseReply(std::string_view line);
std::string OkReply(const std::vector<std::string>& words = {});
std::string ErrorReply(std::string_view message);

}  // namespace quorvane::platform::simwire
