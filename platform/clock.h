// Local time and sleeping, replaceable by tests (a fixed time, scaled or
// recorded sleeps). Every wait of the system goes through Sleep().
#pragma once

#include <cstdint>

namespace zvrx::platform {

struct LocalTime {
  int year = 0;    // 4 digits
  int month = 0;   // 1..12
  int day = 0;     // 1..31
  int hour = 0;    // 0..23
  int minute = 0;
  int second = 0;
  int day_of_week = 0;  // 0 = Sunday
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;
  virtual void Sleep(int milliseconds) = 0;
  // Monotonic milliseconds (GetTickCount).
  virtual uint64_t TickCount() = 0;
};

// The real clock.
Clock& SystemClock();

// The clock in force; SetClock(nullptr) restores the real one. Safe to call
// from any thread, but tests swap clocks only while no worker runs.
Clock& GetClock();
void SetClock(Clock* clock);

inline LocalTime Now() { return GetClock().Now(); }
inline void Sleep(int milliseconds) { GetClock().Sleep(milliseconds); }
inline uint64_t TickCount() { return GetClock().TickCount(); }

}  // namespace zvrx::platform
