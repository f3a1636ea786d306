// Waiting in tests for what another process or thread does.
#pragma once

#include <functional>

namespace zvrx::test {

// Asks `done` every `step_ms` until it holds (true) or `timeout_ms` passed
// (false); `done` is asked once more at the deadline, so a slow machine
// that got there just in time still passes.
bool WaitUntil(const std::function<bool()>& done, int timeout_ms, int step_ms = 20);

// A plain pause, for tests that must let time pass without a condition to
// watch (a program that must NOT react within a while).
void PauseMs(int milliseconds);

}  // namespace zvrx::test
