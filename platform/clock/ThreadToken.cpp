#include "platform/clock/ThreadToken.h"

#include <atomic>

namespace quorvane::platform {

namespace {

std::atomic<ThreadToken> nextToken{1};
thread_local ThreadToken currentToken = 0;

}  // namespace

ThreadToken CurrentThreadToken() {
  if (currentToken == 0) currentToken = nextToken.fetch_add(1);
  return currentToken;
}

ThreadToken NewThreadToken() { return nextToken.fetch_add(1); }

void AdoptThreadToken(ThreadToken token) { currentToken = token; }

}  // namespace quorvane::platform
