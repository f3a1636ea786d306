#include "tests/support/wait_until.h"

#include <chrono>
#include <thread>

namespace zvrx::test {

bool WaitUntil(const std::function<bool()>& done, int timeout_ms, int step_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return done();
    PauseMs(step_ms);
  }
  return true;
}

void PauseMs(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace zvrx::test
