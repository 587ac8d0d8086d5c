#pragma once
// Thread identities for the clocks. A parent that starts a thread can
// reserve the child's token before the child runs (ClockThread does), so a
// simulated clock can count the child as busy from its first instruction.

#include "platform/clock/Clock.h"

namespace quorvane::platform {

// The calling thread's token, assigned on first use; never 0.
ThreadToken CurrentThreadToken();
// A fresh token no thread has yet.
ThreadToken NewThreadToken();
// Makes `token` the calling thread's token. Only for a thread's first
// instruction, before it has used CurrentThreadToken.
void AdoptThreadToken(ThreadToken token);

}  // namespace quorvane::platform
