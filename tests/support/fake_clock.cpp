#include "tests/support/fake_clock.h"

#include <chrono>
#include <thread>

namespace zvrx::test {
namespace {

using std::chrono::days;
using std::chrono::seconds;
using std::chrono::sys_days;
using std::chrono::sys_seconds;

// Calendar arithmetic without the host's time zone: the fake local time is
// just a date and a time of day.
platform::LocalTime AddSeconds(const platform::LocalTime& start, int64_t delta) {
  std::chrono::year_month_day date{std::chrono::year{start.year},
                                   std::chrono::month{static_cast<unsigned>(start.month)},
                                   std::chrono::day{static_cast<unsigned>(start.day)}};
  sys_seconds moment = sys_days{date} + seconds{start.hour * 3600 + start.minute * 60 +
                                                start.second + delta};
  sys_days day = std::chrono::floor<days>(moment);
  std::chrono::year_month_day ymd{day};
  std::chrono::hh_mm_ss<seconds> time{moment - day};
  platform::LocalTime result;
  result.year = static_cast<int>(ymd.year());
  result.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  result.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  result.hour = static_cast<int>(time.hours().count());
  result.minute = static_cast<int>(time.minutes().count());
  result.second = static_cast<int>(time.seconds().count());
  result.day_of_week = static_cast<int>(std::chrono::weekday{day}.c_encoding());
  return result;
}

platform::LocalTime DefaultTime() {
  platform::LocalTime time;
  time.year = 2000;
  time.month = 1;
  time.day = 3;
  time.hour = 9;
  return time;
}

}  // namespace

FakeClock::FakeClock() : FakeClock(DefaultTime()) {}

FakeClock::FakeClock(const platform::LocalTime& now, bool advance_time, double real_sleep_scale)
    : advance_time_(advance_time), real_sleep_scale_(real_sleep_scale) {
  SetNow(now);
}

platform::LocalTime FakeClock::Now() {
  std::lock_guard lock(mutex_);
  if (!advance_time_) return base_;
  return AddSeconds(base_, static_cast<int64_t>((tick_ - base_tick_) / 1000));
}

void FakeClock::Sleep(int milliseconds) {
  double scale;
  {
    std::lock_guard lock(mutex_);
    if (milliseconds > 0) {
      tick_ += static_cast<uint64_t>(milliseconds);
      slept_ += static_cast<uint64_t>(milliseconds);
    }
    ++sleep_calls_;
    scale = real_sleep_scale_;
  }
  if (scale > 0 && milliseconds > 0) {
    std::this_thread::sleep_for(
        std::chrono::microseconds(static_cast<int64_t>(milliseconds * scale * 1000)));
  } else {
    std::this_thread::yield();
  }
}

uint64_t FakeClock::TickCount() {
  std::lock_guard lock(mutex_);
  return tick_;
}

void FakeClock::SetNow(const platform::LocalTime& now) {
  std::lock_guard lock(mutex_);
  base_ = AddSeconds(now, 0);
  base_tick_ = tick_;
}

void FakeClock::SetAdvanceTime(bool advance_time) {
  std::lock_guard lock(mutex_);
  if (advance_time_ && !advance_time) {
    base_ = AddSeconds(base_, static_cast<int64_t>((tick_ - base_tick_) / 1000));
  }
  base_tick_ = tick_;
  advance_time_ = advance_time;
}

void FakeClock::SetRealSleepScale(double scale) {
  std::lock_guard lock(mutex_);
  real_sleep_scale_ = scale;
}

void FakeClock::Advance(uint64_t milliseconds) {
  std::lock_guard lock(mutex_);
  tick_ += milliseconds;
}

uint64_t FakeClock::TotalSlept() const {
  std::lock_guard lock(mutex_);
  return slept_;
}

int FakeClock::SleepCalls() const {
  std::lock_guard lock(mutex_);
  return sleep_calls_;
}

ScopedClock::ScopedClock(platform::Clock& clock) : previous_(&platform::GetClock()) {
  platform::SetClock(&clock);
}

ScopedClock::~ScopedClock() {
  platform::SetClock(previous_ == &platform::SystemClock() ? nullptr : previous_);
}

platform::LocalTime LocalTimeAt(int year, int month, int day, int hour, int minute) {
  platform::LocalTime time;
  time.year = year;
  time.month = month;
  time.day = day;
  time.hour = hour;
  time.minute = minute;
  return time;
}

}  // namespace zvrx::test
