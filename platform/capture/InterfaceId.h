#pragma once
// The identity of a COM-style interface, asked for with QueryInterface.

#include <array>
#include <cstdint>

namespace quorvane::platform {

struct InterfaceId {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::array<std::uint8_t, 8> data4;

  friend constexpr bool operator==(const InterfaceId&, const InterfaceId&) = default;
};

}  // namespace quorvane::platform
