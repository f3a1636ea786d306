#include "checker/app/shutdown_clock.h"

#include <chrono>

namespace zvrx {

platform::LocalTime ShutdownClock::Now() { return platform::SystemClock().Now(); }

uint64_t ShutdownClock::TickCount() { return platform::SystemClock().TickCount(); }

void ShutdownClock::Sleep(int milliseconds) {
  std::unique_lock lock(mutex_);
  interrupted_changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                [this] { return interrupted_; });
}

void ShutdownClock::Interrupt() {
  {
    std::lock_guard lock(mutex_);
    interrupted_ = true;
  }
  interrupted_changed_.notify_all();
}

}  // namespace zvrx
