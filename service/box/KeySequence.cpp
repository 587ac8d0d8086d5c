#include "service/box/KeySequence.h"

namespace TESKTV::SERVICE {

namespace keydb = quorvane::keydb;

int DigitWidth(std::uint32_t digital) {
  switch (digital) {
    case 2: return 4;
    case 1: return 3;
    default: return 2;
  }
}

int KeyIndex(char16_t c) { return c >= u'1' && c <= u'9' ? c - u'0' : 0; }

void KeySequence::Append(const KeyTable& table, int slot) {
  // Callers keep within kSequenceKeys; a key beyond it is dropped rather
  // than written past the end.
  if (fireNum < 0 || static_cast<std::size_t>(fireNum) >= kSequenceKeys) return;
  slots[static_cast<std::size_t>(fireNum)] = slot;
  codes[static_cast<std::size_t>(fireNum)] = table[static_cast<std::size_t>(slot)];
  ++fireNum;
}

void BuildKeySequence(const KeyTable& table, std::u16string_view major, std::u16string_view minor,
                      const ChannelStyle& style, ServiceLog& log, KeySequence& sequence) {
  sequence.fireNum = 0;
  const auto digits = [&](std::u16string_view text, const char* format) {
    for (char16_t c : text) {
      const int slot = KeyIndex(c);
      log.Printf(format, slot);
      sequence.Append(table, slot);
    }
  };
  const auto minorPart = [&] {
    if (minor.empty()) return;
    sequence.Append(table, keydb::kKeyDot);
    digits(minor, "K=%d");
  };

  const std::size_t m = major.size();
  if (style.hundredKey && m == 3) {
    sequence.Append(table, major[0] == u'1' ? keydb::kKeyHundred : KeyIndex(major[0]));
    digits(major.substr(1), "I=%d");
    minorPart();
  } else if (!minor.empty()) {
    digits(major, "J=%d");
    minorPart();
  } else {
    digits(major, "I=%d");
    if (m < static_cast<std::size_t>(style.digitWidth) && style.okAfterShort) sequence.Append(table, keydb::kKeyOk);
  }
  sequence.power = table[keydb::kKeyPower];
}

}  // namespace TESKTV::SERVICE
