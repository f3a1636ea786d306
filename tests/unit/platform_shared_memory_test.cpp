#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/mman.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/drives.h"
#include "platform/parse_integer.h"
#include "platform/process.h"
#include "platform/shared_memory.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_prefix.h"
#include "tests/support/wait_until.h"

namespace zvrx::platform {
namespace {

using test::ChildProcess;

constexpr char kName[] = "ZvrxTran";
constexpr size_t kSize = 1556;

std::unique_ptr<SharedMemory> OpenBlock(int* error) { return SharedMemory::Open(kName, kSize, error); }

TEST(PlatformSharedMemory, BlockIsSharedWithAnotherProcessAndGoneWhenItsCreatorEnds) {
  test::TempPrefix prefix;
  int error = 0;
  EXPECT_EQ(OpenBlock(&error), nullptr);
  EXPECT_EQ(error, ENOENT);

  ChildProcess creator([](const ChildProcess::Side& side) {
    int create_error = 0;
    auto block = SharedMemory::Create(kName, kSize, &create_error);
    if (!block) return 2;
    block->data()[0] = 0x5A;
    block->data()[kSize - 1] = 0xA5;
    side.Ready();
    side.Wait();
    return block->data()[1] == 7 ? 0 : 1;  // the parent's write arrived
  });
  ASSERT_EQ(creator.WaitReady(), 'r');

  auto opened = OpenBlock(&error);
  ASSERT_NE(opened, nullptr) << "errno " << error;
  EXPECT_EQ(opened->size(), kSize);
  EXPECT_EQ(opened->data()[0], 0x5A);
  EXPECT_EQ(opened->data()[kSize - 1], 0xA5);
  opened->data()[1] = 7;
  EXPECT_EQ(SharedMemory::Create(kName, kSize, &error), nullptr) << "a live creator owns it";
  EXPECT_EQ(error, EEXIST);

  EXPECT_EQ(creator.Finish(), 0);
  EXPECT_EQ(OpenBlock(&error), nullptr);
  EXPECT_EQ(error, ENOENT);
  EXPECT_FALSE(std::filesystem::exists(prefix.path() + "/run/ZvrxTran.lock"));
  EXPECT_EQ(opened->data()[0], 0x5A) << "an opener's view stays valid";
}

TEST(PlatformSharedMemory, KilledCreatorLeavesNoBlockAndIsTakenOver) {
  test::TempPrefix prefix;
  ChildProcess creator([](const ChildProcess::Side& side) {
    auto block = SharedMemory::Create(kName, kSize, nullptr);
    if (!block) return 2;
    block->data()[10] = 0xEE;
    side.Ready();
    side.Wait();
    return 0;
  });
  ASSERT_EQ(creator.WaitReady(), 'r');
  creator.Kill();

  int error = 0;
  EXPECT_EQ(OpenBlock(&error), nullptr) << "phantom block of a dead creator";
  EXPECT_EQ(error, ENOENT);
  auto block = SharedMemory::Create(kName, kSize, &error);
  ASSERT_NE(block, nullptr) << "errno " << error;
  EXPECT_EQ(block->data()[10], 0) << "the stale block's bytes came back";
  EXPECT_NE(OpenBlock(&error), nullptr);
}

TEST(PlatformSharedMemory, StaleBlocksOfThisPrefixAreRemovedLiveOnesKept) {
  test::TempPrefix prefix;
  ChildProcess killed([](const ChildProcess::Side& side) {
    auto block = SharedMemory::Create("ZvrxDead", kSize, nullptr);
    if (!block) return 2;
    side.Ready();
    side.Wait();
    return 0;
  });
  ASSERT_EQ(killed.WaitReady(), 'r');
  killed.Kill();
  auto live = SharedMemory::Create(kName, kSize, nullptr);
  ASSERT_NE(live, nullptr);
  {
    test::TempPrefix other;  // another machine's stale block stays
    ChildProcess other_killed([](const ChildProcess::Side& side) {
      auto block = SharedMemory::Create("ZvrxDead", kSize, nullptr);
      side.Ready();
      side.Wait();
      return block ? 0 : 2;
    });
    ASSERT_EQ(other_killed.WaitReady(), 'r');
    other_killed.Kill();
    ASSERT_EQ(RemoveStaleSharedMemory(), 1);  // cleans up its own on leaving, too
  }

  EXPECT_EQ(RemoveStaleSharedMemory(), 1) << "the killed creator's block";
  EXPECT_EQ(RemoveStaleSharedMemory(), 0);
  int error = 0;
  EXPECT_NE(OpenBlock(&error), nullptr) << "a live block was removed";
}

// A program the creator started must not keep the creator's lock alive
// after the creator died.
TEST(PlatformSharedMemory, ProgramStartedByTheCreatorDoesNotKeepItAlive) {
  test::TempPrefix prefix;
  test::WriteHostFile(prefix.path() + "/drive_c/sleeper", "#!/bin/sh\necho $$ > \"$1\"\nexec sleep 5\n");
  std::filesystem::permissions(prefix.path() + "/drive_c/sleeper",
                               std::filesystem::perms::owner_all);
  const std::string pid_file = prefix.path() + "/drive_c/sleeper.pid";
  ChildProcess creator([&](const ChildProcess::Side& side) {
    auto block = SharedMemory::Create(kName, kSize, nullptr);
    if (!block || StartProgram("C:\\sleeper " + pid_file) < 0) return 2;
    side.Ready();
    side.Wait();
    return 0;
  });
  ASSERT_EQ(creator.WaitReady(), 'r');
  creator.Kill();
  int error = 0;
  EXPECT_EQ(OpenBlock(&error), nullptr);
  SharedMemory::Create(kName, kSize, nullptr);  // takes over and removes the dead one's block
  test::WaitUntil([&] { return !test::ReadHostFile(pid_file).empty(); }, 1000, 10);
  // Only a whole line: a half-written number would name another process.
  std::string line = test::ReadHostFile(pid_file);
  const bool whole = !line.empty() && line.back() == '\n';
  if (whole) line.pop_back();
  const std::optional<int> sleeper = whole ? ParseInteger<int>(line) : std::nullopt;
  if (sleeper && *sleeper > 0) kill(*sleeper, SIGKILL);
}

TEST(PlatformSharedMemory, TwoPrefixesNeverMeet) {
  test::TempPrefix first;
  test::TempPrefix second;  // now in force
  SetPrefix(first.path());
  auto in_first = SharedMemory::Create(kName, kSize, nullptr);
  ASSERT_NE(in_first, nullptr);
  in_first->data()[0] = 1;

  SetPrefix(second.path());
  int error = 0;
  EXPECT_EQ(OpenBlock(&error), nullptr);
  auto in_second = SharedMemory::Create(kName, kSize, &error);
  ASSERT_NE(in_second, nullptr) << "errno " << error;
  in_second->data()[0] = 2;

  SetPrefix(first.path());
  auto again = OpenBlock(&error);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->data()[0], 1);
}

TEST(PlatformSharedMemory, RejectsUnusableRequests) {
  test::TempPrefix prefix;
  int error = 0;
  EXPECT_EQ(SharedMemory::Create(kName, 0, &error), nullptr);
  EXPECT_EQ(error, EINVAL);
  EXPECT_EQ(SharedMemory::Create(std::string(300, 'n'), kSize, &error), nullptr);
  EXPECT_EQ(error, ENAMETOOLONG);
  // Larger than what the creator made: not that block.
  auto block = SharedMemory::Create(kName, kSize, &error);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(SharedMemory::Open(kName, kSize * 4, &error), nullptr);
}

}  // namespace
}  // namespace zvrx::platform
