// Named locks between processes: one holder at a time, a waiter that gets
// the lock as soon as it is free, and no lock left behind by a dead holder.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/named_lock.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_prefix.h"

namespace zvrx::platform {
namespace {

using test::ChildProcess;

constexpr char kName[] = "ZvrxSettings";

long MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - start)
                               .count());
}

TEST(PlatformNamedLock, AnotherProcessWaitsUntilTheHolderLetsGoOrDies) {
  test::TempPrefix prefix;
  ChildProcess holder([](const ChildProcess::Side& side) {
    auto lock = NamedLock::Acquire(kName, 0);
    side.Ready(lock ? 'r' : 'f');
    side.Wait();
    return 0;
  });
  ASSERT_EQ(holder.WaitReady(), 'r');
  EXPECT_TRUE(NamedLock::IsHeld(kName));

  // Held elsewhere: no lock without waiting, none after a short wait, and
  // the wait lasts what was asked.
  EXPECT_EQ(NamedLock::Acquire(kName, 0), nullptr);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(NamedLock::Acquire(kName, 200), nullptr);
  EXPECT_GE(MillisecondsSince(start), 200);
  EXPECT_NE(NamedLock::Acquire("ZvrxCheck", 0), nullptr) << "another name is another lock";

  // A holder that dies lets go at once; the waiter gets the lock well
  // before its limit.
  ChildProcess waiter([](const ChildProcess::Side& side) {
    side.Ready('w');
    auto lock = NamedLock::Acquire(kName, 10000);
    side.Ready(lock ? 'g' : 'f');
    side.Wait();
    return 0;
  });
  ASSERT_EQ(waiter.WaitReady(), 'w');
  start = std::chrono::steady_clock::now();
  holder.Kill();
  EXPECT_EQ(waiter.WaitReady(), 'g');
  EXPECT_LT(MillisecondsSince(start), 2000);
  EXPECT_EQ(NamedLock::Acquire(kName, 0), nullptr) << "the waiter holds it now";
  EXPECT_EQ(waiter.Finish(), 0);
  EXPECT_FALSE(NamedLock::IsHeld(kName));
  EXPECT_NE(NamedLock::Acquire(kName, 0), nullptr);
}

// A command holds the lock around saves that take it again: the process's
// holds are counted, and the lock goes with the last one.
TEST(PlatformNamedLock, TakenAgainWithinOneProcessAndReleasedWithTheLastHold) {
  test::TempPrefix prefix;
  auto outer = NamedLock::Acquire(kName, 0);
  ASSERT_NE(outer, nullptr);
  auto inner = NamedLock::Acquire(kName, 0);
  ASSERT_NE(inner, nullptr);
  inner.reset();
  EXPECT_TRUE(NamedLock::IsHeld(kName));
  ChildProcess other([](const ChildProcess::Side& side) {
    side.Ready(NamedLock::Acquire(kName, 0) ? 'g' : 'n');
    side.Wait();
    return 0;
  });
  EXPECT_EQ(other.WaitReady(), 'n');
  outer.reset();
  EXPECT_FALSE(NamedLock::IsHeld(kName));
  ChildProcess later([](const ChildProcess::Side& side) {
    side.Ready(NamedLock::Acquire(kName, 0) ? 'g' : 'n');
    side.Wait();
    return 0;
  });
  EXPECT_EQ(later.WaitReady(), 'g');
}

}  // namespace
}  // namespace zvrx::platform
