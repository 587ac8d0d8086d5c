#pragma once
// Which keys a box needs, and the key set the wizard stores for it. The
// wizard learns the present keys in position order, one learning row each;
// a record's `id` is its row. A position skipped before a later present key
// holds a filler record so that every key lands on its position, and
// nothing follows the last present key: 12 to 14 records.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/keydb/KeyList.h"
#include "platform/base/Result.h"

namespace quorvane::keydb {

// The device settings that decide the keys (the device entry's values).
struct DeviceKeySettings {
  std::uint32_t inputType = 0;    // 1: OK/Enter ends a channel number
  std::uint32_t digital = 0;      // 1: three-digit channels
  std::uint32_t hundredKey = 0;   // not 0: a +100 key (with three digits)
  std::uint32_t displayMode = 0;  // 1: channel numbers with a dot
};

bool IsKeyPresent(const DeviceKeySettings& settings, int position);

// The positions of the learning rows, in row order (11 to 14 of them).
std::vector<int> PresentKeyPositions(const DeviceKeySettings& settings);

// Appends fillers for the positions from the list's length up to
// position - 1, then the record. False (list unchanged) when the list
// already reaches past `position` or the position is out of range.
bool AppendLearnedKey(CRemoteKeyList& list, int position, std::int32_t row, const KeyCode& code);

using LearnedCodes = std::array<std::optional<KeyCode>, kKeyPositionCount>;

// The key set to store for a box whose present keys were learned with the
// codes given by position; codes of absent positions are ignored. An error
// when a present key has no code.
platform::Result<CRemoteKeyList> BuildLearnedKeyList(const DeviceKeySettings& settings,
                                                     const LearnedCodes& codesByPosition);

}  // namespace quorvane::keydb
