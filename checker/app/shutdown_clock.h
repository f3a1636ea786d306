// The checker's clock: real time, but every sleep can be cut short once the
// program is ending, so that the worker's waits (the scheduler's pass, the
// block handshakes, the 150 s question) do not hold up the end.
#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/clock.h"

namespace zvrx {

class ShutdownClock : public platform::Clock {
 public:
  platform::LocalTime Now() override;
  uint64_t TickCount() override;
  // Sleeps, or returns at once once Interrupt was called.
  void Sleep(int milliseconds) override;

  // Ends every sleep now and later; safe from any thread.
  void Interrupt();

 private:
  std::mutex mutex_;
  std::condition_variable interrupted_changed_;
  bool interrupted_ = false;
};

}  // namespace zvrx
