#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <ctime>
#include <thread>

#include "platform/clock.h"
#include "tests/support/fake_clock.h"

namespace zvrx::platform {
namespace {

void IgnoreSignal(int) {}

// Every wait of the system goes through Sleep: a signal must not shorten it.
TEST(PlatformClock, RealSleepLastsItsFullTimeThroughSignals) {
  struct sigaction action {};
  action.sa_handler = IgnoreSignal;  // no SA_RESTART: nanosleep is interrupted
  struct sigaction old {};
  sigaction(SIGUSR1, &action, &old);
  pthread_t sleeper = pthread_self();
  std::atomic<bool> done{false};
  std::thread interrupter([&] {
    while (!done) {
      pthread_kill(sleeper, SIGUSR1);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  Clock& clock = SystemClock();
  uint64_t start = clock.TickCount();
  clock.Sleep(120);
  uint64_t slept = clock.TickCount() - start;
  done = true;
  interrupter.join();
  sigaction(SIGUSR1, &old, nullptr);
  EXPECT_GE(slept, 120u);
}

TEST(PlatformClock, RealLocalTimeIsTheHostsLocalTime) {
  time_t now = time(nullptr);
  struct tm parts {};
  localtime_r(&now, &parts);
  LocalTime local = SystemClock().Now();
  EXPECT_EQ(local.year, parts.tm_year + 1900);
  EXPECT_EQ(local.day_of_week, parts.tm_wday);
  EXPECT_GE(local.month, 1);
  EXPECT_LE(local.month, 12);
}

TEST(PlatformClock, ReplacedClockIsUsedAndRestored) {
  test::FakeClock fake;
  {
    test::ScopedClock in_force(fake);
    EXPECT_EQ(&GetClock(), &fake);
    Sleep(100000);  // costs no real time
    Sleep(7);
    EXPECT_EQ(fake.TotalSlept(), 100007u);
    EXPECT_EQ(fake.SleepCalls(), 2);
    EXPECT_EQ(Now().year, 2000);
  }
  EXPECT_EQ(&GetClock(), &SystemClock());
}

TEST(PlatformClock, FakeTimeMovesOnWithSleepsAcrossDaysAndYears) {
  LocalTime eve;
  eve.year = 1999;
  eve.month = 12;
  eve.day = 31;
  eve.hour = 23;
  eve.minute = 59;
  eve.second = 30;
  test::FakeClock fake(eve, /*advance_time=*/true);
  EXPECT_EQ(fake.Now().day_of_week, 5);  // a Friday
  uint64_t tick = fake.TickCount();
  fake.Sleep(29999);
  EXPECT_EQ(fake.Now().second, 59);
  fake.Sleep(1);
  LocalTime next = fake.Now();
  EXPECT_EQ(next.year, 2000);
  EXPECT_EQ(next.month, 1);
  EXPECT_EQ(next.day, 1);
  EXPECT_EQ(next.hour, 0);
  EXPECT_EQ(next.minute, 0);
  EXPECT_EQ(next.day_of_week, 6);
  EXPECT_EQ(fake.TickCount() - tick, 30000u);

  LocalTime leap;
  leap.year = 2000;
  leap.month = 2;
  leap.day = 28;
  leap.hour = 12;
  fake.SetNow(leap);
  fake.Advance(24 * 3600 * 1000);
  EXPECT_EQ(fake.Now().day, 29);
  EXPECT_EQ(fake.TotalSlept(), 30000u) << "Advance is not sleeping";
  fake.SetAdvanceTime(false);
  fake.Sleep(3600 * 1000);
  EXPECT_EQ(fake.Now().day, 29);
  EXPECT_EQ(fake.Now().hour, 12);
}

}  // namespace
}  // namespace zvrx::platform
