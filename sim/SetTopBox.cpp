#include "sim/SetTopBox.h"

#include <chrono>

namespace quorvane::sim {
namespace {

using std::chrono::milliseconds;

std::string DropLeadingZeros(const std::string& digits) {
  const auto first = digits.find_first_not_of('0');
  if (first == std::string::npos) return digits.empty() ? "" : "0";
  return digits.substr(first);
}

long MillisBetween(platform::MonoTime from, platform::MonoTime to) {
  return static_cast<long>(std::chrono::duration_cast<milliseconds>(to - from).count());
}

}  // namespace

SetTopBox::SetTopBox(BoxConfig config) : config_(config) {}

std::string SetTopBox::PendingEntry() const {
  if (!entry_.Active()) return "";
  return entry_.major + (entry_.dot ? "." + entry_.minor : "");
}

bool SetTopBox::MajorComplete() const {
  const std::size_t width = entry_.hundred ? 3 : static_cast<std::size_t>(config_.digits);
  return entry_.major.size() >= width;
}

void SetTopBox::Note(platform::MonoTime at, std::string key, std::string effect) {
  log_.push_back({at, std::move(key), std::move(effect)});
  while (log_.size() > kLogLimit) log_.pop_front();
}

std::string SetTopBox::Commit() {
  const std::string typed = PendingEntry();
  std::string major = DropLeadingZeros(entry_.major);
  std::string minor = DropLeadingZeros(entry_.minor);
  entry_ = Entry{};
  if (major == "0") return "refused channel " + typed + ", stays on " + channel_;
  channel_ = minor.empty() ? major : major + "." + minor;
  return "tuned to " + channel_;
}

void SetTopBox::Settle(platform::MonoTime now) {
  if (!entry_.Active()) return;
  const platform::MonoTime due = entry_.last_key + milliseconds(config_.commit_ms);
  if (now < due) return;
  const bool full = MajorComplete() && !entry_.dot;
  if (full || !config_.ok_required) {
    Note(due, "(pause)", Commit());
  } else {
    const std::string typed = PendingEntry();
    entry_ = Entry{};
    Note(due, "(pause)", "dropped " + typed + ": OK was needed, stays on " + channel_);
  }
}

void SetTopBox::SetPower(bool on, platform::MonoTime now) {
  on_ = on;
  entry_ = Entry{};
  ready_at_ = on ? now + milliseconds(config_.boot_ms) : now;
}

platform::Status SetTopBox::SetChannel(std::string_view channel) {
  const auto dot = channel.find('.');
  const std::string_view major = channel.substr(0, dot);
  const std::string_view minor = dot == std::string_view::npos ? std::string_view() : channel.substr(dot + 1);
  auto digits = [](std::string_view s, std::size_t most) {
    if (s.empty() || s.size() > most) return false;
    for (char c : s) {
      if (c < '0' || c > '9') return false;
    }
    return true;
  };
  if (!digits(major, 5) || (dot != std::string_view::npos && !digits(minor, 3))) {
    return platform::MakeError("channel=" + std::string(channel) + ": expected digits like 7 or 13.2");
  }
  entry_ = Entry{};
  const std::string m = DropLeadingZeros(std::string(major));
  if (m == "0") return platform::MakeError("channel=" + std::string(channel) + ": channel 0 does not exist");
  const std::string n = DropLeadingZeros(std::string(minor));
  channel_ = n.empty() ? m : m + "." + n;
  return platform::Status::Ok();
}

void SetTopBox::HandleDigit(int digit, platform::MonoTime at, std::string& effect) {
  const char c = static_cast<char>('0' + digit);
  if (entry_.dot) {
    if (entry_.minor.size() >= 3) {
      effect = "ignored: the minor channel has three digits";
      return;
    }
    entry_.minor += c;
  } else {
    // A decimal box waiting for a dot after a full number takes a further
    // digit as the start of the next number.
    std::string before;
    if (entry_.Active() && MajorComplete()) before = Commit() + "; ";
    entry_.major += c;
    if (MajorComplete() && !config_.decimal) {
      effect = before + Commit();
      return;
    }
    effect = before;
  }
  entry_.last_key = at;
  effect += "entry " + PendingEntry();
}

void SetTopBox::Receive(std::optional<RemoteKey> key, platform::MonoTime at) {
  Settle(at);
  const std::string name = key ? std::string(KeyName(*key)) : "unknown";
  const bool power = key == RemoteKey::kPower;
  if (!on_ && !power) {
    Note(at, name, "ignored: the box is off");
    return;
  }
  if (last_received_ && at - *last_received_ < milliseconds(config_.min_gap_ms)) {
    Note(at, name, "missed: " + std::to_string(MillisBetween(*last_received_, at)) + " ms after the previous key");
    return;
  }
  last_received_ = at;
  if (!key) {
    Note(at, name, "ignored: not a key of this box's remote");
    return;
  }
  if (!power && at < ready_at_) {
    Note(at, name, "ignored: the box is starting");
    return;
  }

  std::string effect;
  if (auto digit = DigitOf(*key)) {
    HandleDigit(*digit, at, effect);
  } else {
    switch (*key) {
      case RemoteKey::kPower:
        SetPower(!on_, at);
        effect = on_ ? "power on, channel " + channel_ : "power off";
        if (on_ && config_.boot_ms > 0) effect += " (starting for " + std::to_string(config_.boot_ms) + " ms)";
        break;
      case RemoteKey::kOk:
        effect = entry_.Active() ? Commit() : "no effect: nothing typed";
        break;
      case RemoteKey::kPlus100:
        if (!config_.hundred_key) {
          effect = "no effect: the box has no +100 key";
        } else if (entry_.Active()) {
          effect = "ignored: +100 only starts a number";
        } else {
          entry_.major = "1";
          entry_.hundred = true;
          entry_.last_key = at;
          effect = "entry 1 (+100)";
        }
        break;
      case RemoteKey::kDot:
        if (!config_.decimal) {
          effect = "no effect: the box has no decimal channels";
        } else if (!entry_.Active() || entry_.dot) {
          effect = "ignored: a dot follows the major channel";
        } else {
          entry_.dot = true;
          entry_.last_key = at;
          effect = "entry " + PendingEntry();
        }
        break;
      default:
        effect = "no effect on the channel";
        break;
    }
  }
  Note(at, name, effect);
}

}  // namespace quorvane::sim
