#include "platform/clock.h"

#include <time.h>

#include <atomic>
#include <cerrno>
#include <chrono>

#include "platform/retry.h"

namespace zvrx::platform {
namespace {

class RealClock final : public Clock {
 public:
  LocalTime Now() override {
    time_t now = time(nullptr);
    struct tm parts {};
    localtime_r(&now, &parts);
    LocalTime local;
    local.year = parts.tm_year + 1900;
    local.month = parts.tm_mon + 1;
    local.day = parts.tm_mday;
    local.hour = parts.tm_hour;
    local.minute = parts.tm_min;
    local.second = parts.tm_sec;
    local.day_of_week = parts.tm_wday;
    return local;
  }

  void Sleep(int milliseconds) override {
    if (milliseconds <= 0) return;
    timespec wait{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    timespec left{};
    // A signal must not cut the wait short.
    RetryOnInterrupt([&] {
      const int result = nanosleep(&wait, &left);
      if (result != 0) wait = left;  // the next attempt sleeps only what is left
      return result;
    });
  }

  uint64_t TickCount() override {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
  }
};

std::atomic<Clock*> current_clock{nullptr};

}  // namespace

Clock& SystemClock() {
  static RealClock clock;
  return clock;
}

Clock& GetClock() {
  Clock* clock = current_clock.load(std::memory_order_acquire);
  return clock != nullptr ? *clock : SystemClock();
}

void SetClock(Clock* clock) { current_clock.store(clock, std::memory_order_release); }

}  // namespace zvrx::platform
