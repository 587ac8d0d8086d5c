#pragma once
// The two parameters the outside decoder is called with: the key text,
// stored scrambled in `T_Data`, and the number `T_ID`. The plain key is
// made only in memory, for the call, and wiped afterwards.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/settings/SettingsStore.h"
#include "iepg/IepgNames.h"
#include "platform/base/Result.h"

namespace quorvane::iepg {

// Byte i of the stored text less 1 when i is even, less 2 when it is odd
// (0-based, wrapping at 8 bits).
std::string DescrambleKeyText(std::string_view stored);

class DecoderKey {
 public:
  DecoderKey() = default;
  ~DecoderKey();
  DecoderKey(const DecoderKey&) = delete;
  DecoderKey& operator=(const DecoderKey&) = delete;
  DecoderKey(DecoderKey&& other) noexcept;
  DecoderKey& operator=(DecoderKey&& other) noexcept;

  // Reads T_Data and T_ID from HKEY_LOCAL_MACHINE. A missing value, or a
  // T_Data of more than 32 bytes, is an error.
  static platform::Result<DecoderKey> Read(const SettingsStore& settings);

  // NUL-terminated, at most 32 bytes before the NUL.
  const char* text() const { return text_.data(); }
  std::int32_t id() const { return id_; }

 private:
  void Wipe();
  std::array<char, kDecoderKeyLength + 1> text_{};
  std::int32_t id_ = 0;
};

}  // namespace quorvane::iepg
