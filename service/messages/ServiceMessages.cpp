#include "service/messages/ServiceMessages.h"

namespace TESKTV::SERVICE {

std::optional<TimerKind> TimerKindOf(std::int32_t category) {
  for (const ServiceMessageInfo& info : kServiceMessages) {
    if (info.timerKind && static_cast<std::int32_t>(*info.timerKind) == category) return info.timerKind;
  }
  return std::nullopt;
}

std::uint32_t TimerMessageOf(TimerKind kind) {
  for (const ServiceMessageInfo& info : kServiceMessages) {
    if (info.timerKind == kind) return info.number;
  }
  return 0;
}

std::optional<TimerKind> TimerKindOfMessage(std::uint32_t message) {
  for (const ServiceMessageInfo& info : kServiceMessages) {
    if (info.number == message) return info.timerKind;
  }
  return std::nullopt;
}

std::string_view ServiceMessageName(std::uint32_t message) {
  for (const ServiceMessageInfo& info : kServiceMessages) {
    if (info.number == message) return info.name;
  }
  return {};
}

}  // namespace TESKTV::SERVICE
