#pragma once
// The raw IR code travelling between the IR sensor, the key file and the IR
// blaster: 512 bytes holding the carrier and the pulse/space durations of one
// key press. The same layout serves the simulator and a kernel-IR backend.
//
// Layout (little-endian):
//   0  4  magic "QIRC" (the first byte is never 0: a learned code is told
//         from "nothing captured" by its first byte)
//   4  1  version (1)
//   5  1  flags: bit 0 = value of the toggle bit in this press
//   6  2  index of the first duration carrying the toggle bit, 0xFFFF = none
//   8  1  number of durations carrying the toggle bit
//   9  1  reserved (0)
//  10  2  number of durations n (1..248)
//  12  4  carrier frequency in Hz (0 = unknown)
//  16 2n  durations in microseconds (1..65535), pulse first, then space,
//         pulse, ... alternating; the rest of the 512 bytes is 0.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/base/Result.h"

namespace quorvane::platform {

inline constexpr std::size_t kIrCodeSize = 512;
inline constexpr std::size_t kIrCodeHeaderSize = 16;
inline constexpr std::size_t kIrCodeMaxDurations = (kIrCodeSize - kIrCodeHeaderSize) / 2;
inline constexpr std::uint8_t kIrCodeVersion = 1;
inline constexpr std::uint16_t kIrCodeNoToggle = 0xFFFF;

using IrCodeBytes = std::array<std::uint8_t, kIrCodeSize>;

struct IrCode {
  std::uint32_t carrier_hz = 38000;
  std::vector<std::uint32_t> durations;  // microseconds
  // Durations [toggle_first, toggle_first + toggle_count) carry the toggle
  // bit that alternates with every press on RC5/RC6-style remotes.
  std::uint16_t toggle_first = kIrCodeNoToggle;
  std::uint8_t toggle_count = 0;
  bool toggle_value = false;

  bool HasToggle() const { return toggle_first != kIrCodeNoToggle && toggle_count > 0; }
  bool InToggle(std::size_t index) const {
    return HasToggle() && index >= toggle_first && index < std::size_t{toggle_first} + toggle_count;
  }
};

Result<IrCodeBytes> EncodeIrCode(const IrCode& code);

// Reads a code from a buffer of any size; only the first 512 bytes count.
// Fails on a short buffer, a wrong magic or version, a count or toggle
// range out of bounds, or a zero duration.
Result<IrCode> DecodeIrCode(std::span<const std::uint8_t> bytes);

// Two presses of the same key: the same number of durations, each within
// 30 % (of the shorter) or 100 µs of the other; durations carrying the
// toggle bit in either code are not compared. The carrier is not compared:
// receivers often report none.
bool SameKey(const IrCode& a, const IrCode& b);
bool SameDuration(std::uint32_t a, std::uint32_t b);
// The same for stored codes; bytes that are no IR code (an empty key slot)
// are never the same key as anything.
bool SameKey(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b);

// What the sensor reports while no key press has been captured:
// 00 00 FF FF, the rest 0.
IrCodeBytes NoCapturedCode();
bool IsNoCapturedCode(std::span<const std::uint8_t> bytes);

}  // namespace quorvane::platform
