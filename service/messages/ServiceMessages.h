#pragma once
// The window messages of the service's control window, in one table: the
// monitor's two schedule messages, the reload request and the messages the
// one-shot timers post, each timer kind with its message. The kind of a
// timer is the after-record category a client passes (lCategory).

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace TESKTV::SERVICE {

enum class TimerKind : std::int32_t {
  kStandby = 0,    // after-record standby
  kHibernate = 1,  // after-record hibernate
  kLogOff = 2,     // after-record log-off
  kShutDown = 3,   // after-record shut-down
  kCloseAP = 4,    // ask the clients to close the capture application
  kStartAP = 5,    // TIME_STARTAP
  kWakeUp = 6,     // wake-up before a schedule
};

inline constexpr std::uint32_t TESK_SLEEP_STANDBY = 1144;
inline constexpr std::uint32_t TESK_SLEEP_HIBERNATE = 1145;
inline constexpr std::uint32_t TESK_SLEEP_SHUTDOWN = 1146;
inline constexpr std::uint32_t TESK_SLEEP_CLOSEAP = 1147;
inline constexpr std::uint32_t TESK_SLEEP_LOGOFF = 1148;
inline constexpr std::uint32_t TESK_TIME_STARTAP = 1149;
inline constexpr std::uint32_t TESK_TIME_WAKEUP = 1150;
inline constexpr std::uint32_t TESK_RELOAD_SCHEDULES = 0x07F0;
// lParam carries the record (see WindowPoster); wParam is 0.
inline constexpr std::uint32_t TESK_ACTIVE_SCHEDULE = 0x0D67;
inline constexpr std::uint32_t TESK_ACTIVE_AP = 0x0D77;

// Window timers of the control window (timer ids, not messages).
inline constexpr std::uint64_t kCountdownTimerId = 2;       // after-record countdown, every second
inline constexpr std::uint64_t kWaitForRecordTimerId = 4;   // wait for the recording start

struct ServiceMessageInfo {
  std::uint32_t number;
  std::string_view name;
  // The timer kind that posts it, for the timer messages.
  std::optional<TimerKind> timerKind;
};

inline constexpr std::array<ServiceMessageInfo, 10> kServiceMessages{{
    {TESK_SLEEP_STANDBY, "TESK_SLEEP_STANDBY", TimerKind::kStandby},
    {TESK_SLEEP_HIBERNATE, "TESK_SLEEP_HIBERNATE", TimerKind::kHibernate},
    {TESK_SLEEP_LOGOFF, "TESK_SLEEP_LOGOFF", TimerKind::kLogOff},
    {TESK_SLEEP_SHUTDOWN, "TESK_SLEEP_SHUTDOWN", TimerKind::kShutDown},
    {TESK_SLEEP_CLOSEAP, "TESK_SLEEP_CLOSEAP", TimerKind::kCloseAP},
    {TESK_TIME_STARTAP, "TESK_TIME_STARTAP", TimerKind::kStartAP},
    {TESK_TIME_WAKEUP, "TESK_TIME_WAKEUP", TimerKind::kWakeUp},
    {TESK_RELOAD_SCHEDULES, "TESK_RELOAD_SCHEDULES", std::nullopt},
    {TESK_ACTIVE_SCHEDULE, "TESK_ACTIVE_SCHEDULE", std::nullopt},
    {TESK_ACTIVE_AP, "TESK_ACTIVE_AP", std::nullopt},
}};

// The kind of a category value 0..6; nothing for any other value.
std::optional<TimerKind> TimerKindOf(std::int32_t category);
// The message a timer of `kind` posts when it fires.
std::uint32_t TimerMessageOf(TimerKind kind);
// The timer kind whose message `message` is; nothing for other messages.
std::optional<TimerKind> TimerKindOfMessage(std::uint32_t message);
// The message's name, or empty for a number not in the table.
std::string_view ServiceMessageName(std::uint32_t message);

}  // namespace TESKTV::SERVICE
