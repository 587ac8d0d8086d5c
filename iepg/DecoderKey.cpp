#include "iepg/DecoderKey.h"

#include <string.h>

#include <algorithm>
#include <utility>

namespace quorvane::iepg {

using platform::MakeError;
using platform::Result;

std::string DescrambleKeyText(std::string_view stored) {
  std::string plain(stored);
  for (std::size_t i = 0; i < plain.size(); ++i) {
    const unsigned offset = i % 2 == 0 ? 1u : 2u;
    plain[i] = static_cast<char>(static_cast<unsigned char>(plain[i]) - offset);
  }
  return plain;
}

DecoderKey::~DecoderKey() { Wipe(); }

DecoderKey::DecoderKey(DecoderKey&& other) noexcept : text_(other.text_), id_(other.id_) { other.Wipe(); }

DecoderKey& DecoderKey::operator=(DecoderKey&& other) noexcept {
  if (this != &other) {
    text_ = other.text_;
    id_ = other.id_;
    other.Wipe();
  }
  return *this;
}

void DecoderKey::Wipe() { ::explicit_bzero(text_.data(), text_.size()); }

Result<DecoderKey> DecoderKey::Read(const SettingsStore& settings) {
  auto stored = settings.ReadString(Hive::LocalMachine, kIepgKey, kKeyTextValue);
  if (!stored) return MakeError(std::string(kKeyTextValue) + " is missing");
  if (stored->size() > static_cast<std::size_t>(kDecoderKeyLength)) {
    ::explicit_bzero(stored->data(), stored->size());
    return MakeError(std::string(kKeyTextValue) + " is longer than " + std::to_string(kDecoderKeyLength) + " bytes");
  }
  auto id = settings.ReadDword(Hive::LocalMachine, kIepgKey, kKeyIdValue);
  if (!id) {
    ::explicit_bzero(stored->data(), stored->size());
    return MakeError(std::string(kKeyIdValue) + " is missing");
  }
  DecoderKey key;
  std::string plain = DescrambleKeyText(*stored);
  std::copy(plain.begin(), plain.end(), key.text_.begin());
  key.text_[plain.size()] = '\0';
  key.id_ = static_cast<std::int32_t>(*id);
  ::explicit_bzero(plain.data(), plain.size());
  ::explicit_bzero(stored->data(), stored->size());
  return key;
}

}  // namespace quorvane::iepg
