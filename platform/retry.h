// System calls that a signal may interrupt before they did anything.
#pragma once

#include <cerrno>

namespace zvrx::platform {

// Calls `call` again for as long as it fails with EINTR and returns its
// first other result. A call with a time-out must work out the time left
// itself on each attempt (see WaitConnected), so that signals cannot
// stretch the wait.
template <class F>
auto RetryOnInterrupt(F&& call) {
  for (;;) {
    auto result = call();
    if (!(result == -1 && errno == EINTR)) return result;
  }
}

}  // namespace zvrx::platform
