#pragma once
// A window message: number and two parameters, as posted and sent between
// windows of one program (platform/loop) and between programs
// (platform/winmsg).

#include <cstdint>

namespace quorvane::platform {

struct WindowMessage {
  std::uint32_t message = 0;
  std::uint64_t wParam = 0;
  std::int64_t lParam = 0;
};

// Message numbers with a fixed meaning.
inline constexpr std::uint32_t kCloseMessage = 0x0010;  // WM_CLOSE
inline constexpr std::uint32_t kTimerMessage = 0x0113;  // WM_TIMER: wParam = timer id
inline constexpr std::uint32_t kUserMessage = 0x0400;   // WM_USER: first private number
inline constexpr std::uint32_t kAppMessage = 0x8000;    // WM_APP

}  // namespace quorvane::platform
