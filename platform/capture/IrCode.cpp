#include "platform/capture/IrCode.h"

#include <algorithm>
#include <string>

namespace quorvane::platform {
namespace {

constexpr std::array<std::uint8_t, 4> kMagic = {'Q', 'I', 'R', 'C'};
constexpr std::uint32_t kMaxDuration = 0xFFFF;

void Put16(IrCodeBytes& out, std::size_t at, std::uint16_t v) {
  out[at] = static_cast<std::uint8_t>(v & 0xFF);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(IrCodeBytes& out, std::size_t at, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
}

std::uint16_t Get16(std::span<const std::uint8_t> in, std::size_t at) {
  return static_cast<std::uint16_t>(in[at] | (in[at + 1] << 8));
}

std::uint32_t Get32(std::span<const std::uint8_t> in, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v |= std::uint32_t{in[at + i]} << (8 * i);
  return v;
}

Status CheckToggle(const IrCode& code) {
  if (code.toggle_first == kIrCodeNoToggle) return Status::Ok();
  if (std::size_t{code.toggle_first} + code.toggle_count > code.durations.size()) {
    return MakeError("IR code: toggle durations " + std::to_string(code.toggle_first) + "+" +
                     std::to_string(code.toggle_count) + " lie outside the " +
                     std::to_string(code.durations.size()) + " durations");
  }
  return Status::Ok();
}

}  // namespace

Result<IrCodeBytes> EncodeIrCode(const IrCode& code) {
  if (code.durations.empty()) return MakeError("IR code: no durations");
  if (code.durations.size() > kIrCodeMaxDurations) {
    return MakeError("IR code: " + std::to_string(code.durations.size()) + " durations, at most " +
                     std::to_string(kIrCodeMaxDurations) + " fit");
  }
  for (std::size_t i = 0; i < code.durations.size(); ++i) {
    if (code.durations[i] == 0 || code.durations[i] > kMaxDuration) {
      return MakeError("IR code: duration " + std::to_string(i) + " is " + std::to_string(code.durations[i]) +
                       " us, allowed 1..65535");
    }
  }
  if (Status s = CheckToggle(code); !s) return s.error();

  IrCodeBytes out{};
  std::copy(kMagic.begin(), kMagic.end(), out.begin());
  out[4] = kIrCodeVersion;
  out[5] = code.toggle_value ? 1 : 0;
  Put16(out, 6, code.toggle_first);
  out[8] = code.toggle_first == kIrCodeNoToggle ? 0 : code.toggle_count;
  Put16(out, 10, static_cast<std::uint16_t>(code.durations.size()));
  Put32(out, 12, code.carrier_hz);
  for (std::size_t i = 0; i < code.durations.size(); ++i) {
    Put16(out, kIrCodeHeaderSize + 2 * i, static_cast<std::uint16_t>(code.durations[i]));
  }
  return out;
}

Result<IrCode> DecodeIrCode(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > kIrCodeSize) bytes = bytes.first(kIrCodeSize);
  if (bytes.size() < kIrCodeHeaderSize) {
    return MakeError("IR code: " + std::to_string(bytes.size()) + " bytes are too short for the header");
  }
  if (!std::equal(kMagic.begin(), kMagic.end(), bytes.begin())) return MakeError("IR code: not a raw IR code");
  if (bytes[4] != kIrCodeVersion) return MakeError("IR code: unknown version " + std::to_string(bytes[4]));

  IrCode code;
  code.toggle_value = (bytes[5] & 1) != 0;
  code.toggle_first = Get16(bytes, 6);
  code.toggle_count = code.toggle_first == kIrCodeNoToggle ? 0 : bytes[8];
  const std::size_t count = Get16(bytes, 10);
  code.carrier_hz = Get32(bytes, 12);
  if (count == 0 || count > kIrCodeMaxDurations) {
    return MakeError("IR code: duration count " + std::to_string(count) + " out of range 1.." +
                     std::to_string(kIrCodeMaxDurations));
  }
  if (kIrCodeHeaderSize + 2 * count > bytes.size()) {
    return MakeError("IR code: " + std::to_string(count) + " durations do not fit in " +
                     std::to_string(bytes.size()) + " bytes");
  }
  code.durations.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t d = Get16(bytes, kIrCodeHeaderSize + 2 * i);
    if (d == 0) return MakeError("IR code: duration " + std::to_string(i) + " is 0");
    code.durations.push_back(d);
  }
  if (Status s = CheckToggle(code); !s) return s.error();
  return code;
}

bool SameDuration(std::uint32_t a, std::uint32_t b) {
  const std::uint64_t lo = std::min(a, b);
  const std::uint64_t diff = std::max(a, b) - lo;
  return diff <= 100 || diff * 10 <= lo * 3;
}

bool SameKey(const IrCode& a, const IrCode& b) {
  if (a.durations.size() != b.durations.size()) return false;
  for (std::size_t i = 0; i < a.durations.size(); ++i) {
    if (a.InToggle(i) || b.InToggle(i)) continue;
    if (!SameDuration(a.durations[i], b.durations[i])) return false;
  }
  return true;
}

bool SameKey(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
  auto code_a = DecodeIrCode(a);
  auto code_b = DecodeIrCode(b);
  return code_a.ok() && code_b.ok() && SameKey(*code_a, *code_b);
}

IrCodeBytes NoCapturedCode() {
  IrCodeBytes out{};
  out[2] = 0xFF;
  out[3] = 0xFF;
  return out;
}

bool IsNoCapturedCode(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 4 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0xFF && bytes[3] == 0xFF;
}

}  // namespace quorvane::platform
