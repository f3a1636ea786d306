// A clock for tests: a fixed (or settable) local time and sleeps that cost
// no real time. Each Sleep advances a virtual tick count and is added to the
// total slept; with a real-sleep scale it also really sleeps that fraction,
// so that other threads get to run. With advance_time, Now() moves on by
// the virtual time slept, so schedulers see their intervals pass.
#pragma once

#include <cstdint>
#include <mutex>

#include "platform/clock.h"

namespace zvrx::test {

class FakeClock : public platform::Clock {
 public:
  // 2000-01-03 (a Monday) 09:00:00 unless told otherwise.
  FakeClock();
  explicit FakeClock(const platform::LocalTime& now, bool advance_time = false,
                     double real_sleep_scale = 0.0);

  platform::LocalTime Now() override;
  void Sleep(int milliseconds) override;
  uint64_t TickCount() override;

  // Sets the local time; day_of_week is worked out from the date.
  void SetNow(const platform::LocalTime& now);
  void SetAdvanceTime(bool advance_time);
  void SetRealSleepScale(double scale);
  // Moves the tick count (and, with advance_time, the local time) on
  // without counting it as slept.
  void Advance(uint64_t milliseconds);

  uint64_t TotalSlept() const;  // milliseconds, all Sleep calls together
  int SleepCalls() const;

 private:
  mutable std::mutex mutex_;
  platform::LocalTime base_;
  uint64_t base_tick_ = 0;  // tick at which base_ was set
  uint64_t tick_ = 1000000;
  uint64_t slept_ = 0;
  int sleep_calls_ = 0;
  bool advance_time_ = false;
  double real_sleep_scale_ = 0.0;
};

// Puts a clock in force for a scope and restores the previous one.
class ScopedClock {
 public:
  explicit ScopedClock(platform::Clock& clock);
  ~ScopedClock();
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  platform::Clock* previous_;
};

// A local time at a given minute, for fixing the clock in tests.
platform::LocalTime LocalTimeAt(int year, int month, int day, int hour, int minute);

}  // namespace zvrx::test
