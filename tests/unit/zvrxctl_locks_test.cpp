// One writer at a time: zvrxctl commands that change the same record or
// list at the same moment both take effect, and a check refuses to start
// while another check of the machine's mail runs.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "checker/core/checker_state.h"
#include "platform/named_lock.h"
#include "shared/record_files.h"
#include "shared/records.h"
#include "tests/support/fake_mailbox_server.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;

constexpr int kRounds = 30;

class ZvrxctlLocksTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(Ctl("init", {"init"}).status, 0); }

  // Each concurrent run keeps its output in a folder of its own.
  test::ProgramRun Ctl(const std::string& who, std::vector<std::string> args) {
    const std::string scratch = prefix_.path() + "/scratch-" + who;
    fs::create_directories(scratch);
    args.insert(args.begin(), {"--prefix", prefix_.path()});
    return test::RunProgram(ZVRX_BINARY_DIR "/tools/zvrxctl", args, scratch);
  }

  // Runs both commands at the same moment; both must succeed.
  void AtOnce(std::vector<std::string> a, std::vector<std::string> b) {
    test::ProgramRun run_a, run_b;
    std::thread first([&] { run_a = Ctl("a", a); });
    std::thread second([&] { run_b = Ctl("b", b); });
    first.join();
    second.join();
    ASSERT_EQ(run_a.status, 0) << run_a.err;
    ASSERT_EQ(run_b.status, 0) << run_b.err;
  }

  test::TempPrefix prefix_{false};
};

// "mode" and "level" both read, change and save "ZVmi128"; "account 1" and
// "account 2" too. Without a lock one save overwrote the other's change.
TEST_F(ZvrxctlLocksTest, TwoSettingsCommandsAtOnceLoseNoChange) {
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const int mode = round % kCheckModeCount;
    const int level = (round + 1) % kInspectionLevelCount;
    AtOnce({"mode", std::to_string(mode)}, {"level", std::to_string(level)});
    const std::string a = "a" + std::to_string(round) + "@pop.example.jp";
    const std::string b = "b" + std::to_string(round) + "@pop.example.jp";
    AtOnce({"account", "1", a, "pw-a"}, {"account", "2", b, "pw-b"});
    BasicSettings basic{};
    ASSERT_TRUE(LoadBasicSettings(basic));
    ASSERT_EQ(basic.check_mode, mode);
    ASSERT_EQ(basic.inspection_level, level);
    ASSERT_EQ(std::string(basic.accounts[0]), a);
    ASSERT_EQ(std::string(basic.accounts[1]), b);
    ASSERT_EQ(std::string(basic.passwords[1]), "pw-b");
  }
}

// The lists are changed the same way: every address added at once stays.
TEST_F(ZvrxctlLocksTest, TwoListCommandsAtOnceLoseNoEntry) {
  for (int round = 0; round < kRounds / 2; ++round) {
    AtOnce({"accept", "add", "x" + std::to_string(round) + "@example.jp"},
           {"accept", "add", "y" + std::to_string(round) + "@example.jp"});
  }
  const std::string list = test::ReadHostFile(prefix_.DataFolderHost() + "/ZVRXWhiteList");
  for (int round = 0; round < kRounds / 2; ++round) {
    for (const char* who : {"x", "y"}) {
      const std::string entry = who + std::to_string(round) + "@example.jp\r\n";
      EXPECT_NE(list.find(entry), std::string::npos) << entry;
    }
  }
}

// A settings command waits for the holder instead of writing beside it.
TEST_F(ZvrxctlLocksTest, ASettingsCommandWaitsForTheLock) {
  auto held = platform::NamedLock::Acquire(kSettingsLockName, 0);
  ASSERT_NE(held, nullptr);
  test::ProgramRun run;
  std::thread command([&] { run = Ctl("a", {"level", "2"}); });
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  BasicSettings basic{};
  LoadBasicSettings(basic);
  EXPECT_NE(basic.inspection_level, 2) << "saved while another writer held the lock";
  held.reset();
  command.join();
  EXPECT_EQ(run.status, 0) << run.err;
  ASSERT_TRUE(LoadBasicSettings(basic));
  EXPECT_EQ(basic.inspection_level, 2);
}

// The settings program saves a page's record while zvrxctl is in the middle
// of a change: the save waits until zvrxctl has saved, then replaces it.
TEST_F(ZvrxctlLocksTest, APageSaveWaitsForAWriterInTheMiddleOfAChange) {
  test::ChildProcess writer([](const test::ChildProcess::Side& side) {
    auto lock = platform::NamedLock::Acquire(kSettingsLockName, 0);
    side.Ready(lock ? 'r' : 'f');
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    return 0;
  });
  ASSERT_EQ(writer.WaitReady(), 'r');
  const auto start = std::chrono::steady_clock::now();
  BasicSettings basic{};
  basic.check_mode = 3;
  EXPECT_TRUE(SaveBasicSettings(basic));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  EXPECT_EQ(writer.Finish(), 0);
  ASSERT_TRUE(LoadBasicSettings(basic));
  EXPECT_EQ(basic.check_mode, 3);
}

// While another check runs (ZVRX or zvrxctl), zvrxctl check says so, exits
// with status 1 and touches nothing.
TEST_F(ZvrxctlLocksTest, ASecondCheckIsRefused) {
  ASSERT_EQ(Ctl("a", {"account", "1", "taro@127.0.0.1:1", "pw"}).status, 0);
  auto running = platform::NamedLock::Acquire(kCheckLockName, 0);
  ASSERT_NE(running, nullptr);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"check"}, std::vector<std::string>{"check", "--dry-run"}}) {
    test::ProgramRun run = Ctl("a", args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "zvrxctl: check: a check is running on this machine; try again later\n");
  }
  EXPECT_FALSE(fs::exists(prefix_.DataFolderHost() + "/ZVRXLog"));
  running.reset();
  // Free again: the check runs (and fails to reach the closed port).
  test::ProgramRun run = Ctl("a", {"check"});
  EXPECT_NE(run.out.find("account 1"), std::string::npos) << run.out << run.err;
}

// Two real checks of one mailbox at once: the first holds the mail while a
// slow server answers; the second is refused, and the spam is deleted and
// logged once.
TEST_F(ZvrxctlLocksTest, TwoChecksAtOnceDeleteAndLogOnce) {
  const std::string kDistribution = ZVRX_BINARY_DIR "/Installer Resources";
  ASSERT_TRUE(fs::is_directory(kDistribution)) << "build the delivered data first";
  ASSERT_EQ(Ctl("a", {"init", "--data", kDistribution}).status, 0);
  const std::string spam = test::ReadHostFile(ZVRX_SOURCE_DIR "/tests/corpus/en-spam-13.eml");
  test::FakeMailboxServer server({{"spam-1", spam}}, {.reply_delay_ms = 300});
  ASSERT_EQ(Ctl("a", {"account", "1", "taro@" + server.HostAndPort(), "pw"}).status, 0);
  ASSERT_EQ(Ctl("a", {"level", "1"}).status, 0);

  test::ProgramRun first;
  std::thread running([&] { first = Ctl("a", {"check"}); });
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  const test::ProgramRun second = Ctl("b", {"check"});
  running.join();

  EXPECT_EQ(second.status, 1);
  EXPECT_EQ(second.err, "zvrxctl: check: a check is running on this machine; try again later\n");
  EXPECT_EQ(first.status, 0) << first.out << first.err;
  EXPECT_NE(first.out.find("deleted 1"), std::string::npos) << first.out;
  EXPECT_EQ(server.HeldUidls(), std::vector<std::string>{});
  EXPECT_EQ(server.Sessions().size(), 1u);
  const std::string log = Ctl("a", {"log"}).out;
  size_t entries = 0;
  for (size_t at = log.find("(Subject :"); at != std::string::npos;
       at = log.find("(Subject :", at + 1)) {
    ++entries;
  }
  EXPECT_EQ(entries, 1u) << log;
}

}  // namespace
}  // namespace zvrx
