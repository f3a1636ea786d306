#include <gtest/gtest.h>

#include "platform/instance_lock.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_prefix.h"

namespace zvrx::platform {
namespace {

using test::ChildProcess;

constexpr char kClass[] = "MailZevrox_Class";
constexpr char kTitle[] = "Mail Zevrox";

TEST(PlatformInstanceLock, SecondInstanceIsRefusedAcrossProcessesUntilTheFirstDies) {
  test::TempPrefix prefix;
  EXPECT_FALSE(InstanceLock::IsHeld(kClass, kTitle));
  ChildProcess first([](const ChildProcess::Side& side) {
    auto lock = InstanceLock::Acquire(kClass, kTitle);
    side.Ready(lock ? 'r' : 'f');
    side.Wait();
    return 0;
  });
  ASSERT_EQ(first.WaitReady(), 'r');
  EXPECT_TRUE(InstanceLock::IsHeld(kClass, kTitle));
  EXPECT_EQ(InstanceLock::Acquire(kClass, kTitle), nullptr);
  EXPECT_FALSE(InstanceLock::IsHeld("ZvrxDlg", kTitle)) << "another class is another window";

  first.Kill();
  EXPECT_FALSE(InstanceLock::IsHeld(kClass, kTitle));
  auto mine = InstanceLock::Acquire(kClass, kTitle);
  EXPECT_NE(mine, nullptr);
}

TEST(PlatformInstanceLock, HeldWithinOneProcessAndReleasedWithTheObject) {
  test::TempPrefix prefix;
  const char kJapaneseTitle[] = "\x83\x81\x81\x5b\x83\x8b/x";  // メール/x
  auto lock = InstanceLock::Acquire("A/B", kJapaneseTitle);
  ASSERT_NE(lock, nullptr);
  EXPECT_TRUE(InstanceLock::IsHeld("A/B", kJapaneseTitle));
  EXPECT_EQ(InstanceLock::Acquire("A/B", kJapaneseTitle), nullptr);
  lock.reset();
  EXPECT_FALSE(InstanceLock::IsHeld("A/B", kJapaneseTitle));
  EXPECT_NE(InstanceLock::Acquire("A/B", kJapaneseTitle), nullptr);
}

}  // namespace
}  // namespace zvrx::platform
