#pragma once
// The IR keys that tune a set-top box to a channel: which slots of the key
// table (the device's learned codes) are sent, in which order, from the
// channel texts and the way the box takes numbers.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/keydb/KeyFile.h"
#include "service/log/ServiceLog.h"

namespace TESKTV::SERVICE {

using quorvane::keydb::KeyCode;
using quorvane::keydb::KeyTable;

// Channel keys one tuning sends at most: five major digits, the dot and
// three minor digits fit with room to spare.
inline constexpr std::size_t kSequenceKeys = 11;
// The schedule record's limits on the channel texts, in characters.
inline constexpr std::size_t kMajorChannelChars = 5;
inline constexpr std::size_t kMinorChannelChars = 3;

// How a box takes channel numbers (from its device entry).
struct ChannelStyle {
  int digitWidth = 2;         // W: a number this long tunes without OK/Enter
  bool okAfterShort = false;  // "InputType" != 0
  bool hundredKey = false;    // "HundredKey" != 0
};

// "Digital" 2 means four digits, 1 three, anything else two.
int DigitWidth(std::uint32_t digital);

// The key table slot of a channel character: '1'..'9' give 1..9, every
// other character ('0' included) gives 0.
int KeyIndex(char16_t c);

struct KeySequence {
  std::array<int, kSequenceKeys> slots{};  // key table slot of each channel key
  std::array<KeyCode, kSequenceKeys> codes{};
  KeyCode power{};
  // pnFireNum: channel keys to send; -1 when the user skipped learning.
  int fireNum = 0;

  void Append(const KeyTable& table, int slot);
};

// Fills `sequence` with the channel keys of `major`.`minor` (texts already
// within the record's limits) and the power key, logging the digit slots.
void BuildKeySequence(const KeyTable& table, std::u16string_view major, std::u16string_view minor,
                      const ChannelStyle& style, ServiceLog& log, KeySequence& sequence);

}  // namespace TESKTV::SERVICE
