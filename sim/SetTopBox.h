#pragma once
// The simulated set-top box: power, current channel, the number being
// typed, and a log of what reached its IR receiver.
//
// How it takes a number:
// - Digits collect into an entry. An entry of W digits (the configured
//   width; three after the +100 key) tunes at once, except on a decimal
//   box, which waits for a dot until the pause has passed.
// - OK/Enter tunes the entry at once.
// - When no key follows for commit_ms, a full-width entry tunes; a shorter
//   entry or one with a dot tunes only on a box that needs no OK -- a box
//   that needs OK drops it, as such boxes wait for OK and then time out.
// - +100 (on a box with that key) starts an entry with the hundreds digit 1;
//   elsewhere in an entry it is ignored. The dot (on a decimal box) follows
//   at least one major digit; up to three minor digits follow it.
// - A key closer than min_gap_ms to the previous received key is missed;
//   the receiver is busy for that long after each key it takes.
// - Off, the box reacts to POWER only; for boot_ms after power on it
//   reacts to POWER only as well. Power on keeps the last channel.
// - A channel of only zeros is refused; leading zeros are dropped.
// The pause is evaluated lazily: Settle(now) (called before every key and
// every query) settles an entry whose pause has passed, stamped with the
// time the pause ended, so no timer is needed.

#include <deque>
#include <optional>
#include <string>

#include "platform/clock/Clock.h"
#include "sim/BoxConfig.h"
#include "sim/RemoteKey.h"

namespace quorvane::sim {

struct ReceivedKey {
  platform::MonoTime at;
  std::string key;     // key name, "unknown" for a code of no known key, "(pause)" for a settled entry
  std::string effect;  // what the box made of it
};

class SetTopBox {
 public:
  static constexpr std::size_t kLogLimit = 200;

  explicit SetTopBox(BoxConfig config = {});

  // A key from the IR receiver; nullopt is a code of no key of the remote.
  void Receive(std::optional<RemoteKey> key, platform::MonoTime at);
  void Settle(platform::MonoTime now);

  bool IsOn() const { return on_; }
  // On and past its start-up time: it shows a picture.
  bool ShowsPicture(platform::MonoTime now) const { return on_ && now >= ready_at_; }
  const std::string& Channel() const { return channel_; }
  // The number being typed ("13.", "1", ""), before Settle.
  std::string PendingEntry() const;
  const BoxConfig& Config() const { return config_; }
  const std::deque<ReceivedKey>& Log() const { return log_; }

  void SetConfig(const BoxConfig& config) { config_ = config; }
  void SetPower(bool on, platform::MonoTime now);
  // "7", "13.2": digits, at most one dot with digits on both sides.
  platform::Status SetChannel(std::string_view channel);

 private:
  struct Entry {
    std::string major;
    std::string minor;
    bool dot = false;
    bool hundred = false;
    platform::MonoTime last_key{};
    bool Active() const { return !major.empty(); }
  };

  bool MajorComplete() const;
  void HandleDigit(int digit, platform::MonoTime at, std::string& effect);
  // Tunes to the entry (or refuses it) and clears it; returns the effect.
  std::string Commit();
  void Note(platform::MonoTime at, std::string key, std::string effect);

  BoxConfig config_;
  bool on_ = false;
  platform::MonoTime ready_at_{};
  std::string channel_ = "1";
  Entry entry_;
  std::optional<platform::MonoTime> last_received_;
  std::deque<ReceivedKey> log_;
};

}  // namespace quorvane::sim
