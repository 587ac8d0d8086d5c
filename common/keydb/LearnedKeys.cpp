#include "common/keydb/LearnedKeys.h"

#include <string>

namespace quorvane::keydb {

bool IsKeyPresent(const DeviceKeySettings& settings, int position) {
  if (position >= kKeyDigit0 && position < kKeyDigit0 + 10) return true;
  switch (position) {
    case kKeyOk:
      return settings.inputType == 1;
    case kKeyPower:
      return true;
    case kKeyHundred:
      return settings.digital == 1 && settings.hundredKey != 0;
    case kKeyDot:
      return settings.displayMode == 1;
    default:
      return false;
  }
}

std::vector<int> PresentKeyPositions(const DeviceKeySettings& settings) {
  std::vector<int> positions;
  for (int position = 0; position < kKeyPositionCount; ++position) {
    if (IsKeyPresent(settings, position)) positions.push_back(position);
  }
  return positions;
}

bool AppendLearnedKey(CRemoteKeyList& list, int position, std::int32_t row, const KeyCode& code) {
  if (position < 0 || position >= kKeyPositionCount || list.size() > static_cast<std::size_t>(position)) {
    return false;
  }
  while (list.size() < static_cast<std::size_t>(position)) list.Append(CKeyList::Filler());
  list.Append(CKeyList{row, code});
  return true;
}

platform::Result<CRemoteKeyList> BuildLearnedKeyList(const DeviceKeySettings& settings,
                                                     const LearnedCodes& codesByPosition) {
  CRemoteKeyList list;
  std::int32_t row = 0;
  for (int position : PresentKeyPositions(settings)) {
    const auto& code = codesByPosition[static_cast<std::size_t>(position)];
    if (!code) return platform::MakeError("no code learned for key position " + std::to_string(position));
    (void)AppendLearnedKey(list, position, row, *code);  // positions rise, so it always fits
    ++row;
  }
  return list;
}

}  // namespace quorvane::keydb
