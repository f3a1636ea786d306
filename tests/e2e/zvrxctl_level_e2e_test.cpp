// zvrxctl's basic settings reach a ZVRX that is already running, and a
// check waits while another one holds the machine's check lock: ZVRX starts
// at the comprehensive level with its start-up check held back by a check
// that runs elsewhere; `zvrxctl level 0` is delivered meanwhile, so the
// check that follows judges by the rejection list and keeps the spam that
// a dictionary would have deleted. A zvrxctl check in the meantime is
// refused.
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "checker/core/checker_state.h"
#include "platform/named_lock.h"
#include "shared/records.h"
#include "tests/support/checker_process.h"
#include "tests/support/dovecot_fixture.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;

const std::string kDistribution = ZVRX_BINARY_DIR "/Installer Resources";
const std::string kPharmacySpam = ZVRX_SOURCE_DIR "/tests/corpus/en-spam-13.eml";
constexpr int kStartMs = 20000;
constexpr int kCheckMs = 60000;

TEST(ZvrxctlLevelE2eTest, LevelZeroReachesTheRunningCheckerWhileItsCheckWaitsForTheLock) {
  ASSERT_TRUE(fs::is_directory(kDistribution)) << "build the delivered data first";
  test::TempPrefix prefix;
  test::DovecotServer server;
  const std::string spam = test::ReadHostFile(kPharmacySpam);
  ASSERT_TRUE(server.Start({{"taro", "taro-pw", {spam}}})) << server.error();

  const std::string& root = prefix.path();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"init", "--data", kDistribution}, {"level", "1"}, {"mode", "1"},
        {"options", "0x0000"}, {"account", "1", server.Account("taro"), "taro-pw"}}) {
    const test::ProgramRun run = test::RunZvrxctl(root, args);
    ASSERT_EQ(run.status, 0) << args[0];
    // No checker runs yet: the commands only save.
    EXPECT_EQ(run.out, "") << args[0];
  }
  ASSERT_NE(test::RunZvrxctl(root, {"judge", kPharmacySpam}).out.find("\tdelete\t"),
            std::string::npos)
      << "precondition: a dictionary catches the spam";

  // Another check holds the machine's mail.
  auto other_check = platform::NamedLock::Acquire(kCheckLockName, 0);
  ASSERT_NE(other_check, nullptr);

  test::CheckerProcess checker(root, "");
  ASSERT_TRUE(checker.started());
  test::SettingsSide side;
  ASSERT_TRUE(side.WaitForBlock(kStartMs)) << checker.Output();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  EXPECT_EQ(server.RemainingMessages("taro"), std::vector<std::string>{spam})
      << "the start-up check ran beside the other one";

  const test::ProgramRun level = test::RunZvrxctl(root, {"level", "0"});
  ASSERT_EQ(level.status, 0) << level.err;
  EXPECT_EQ(level.out, "delivered to the running checker\n");

  const test::ProgramRun second = test::RunZvrxctl(root, {"check"});
  EXPECT_EQ(second.status, 1);
  EXPECT_NE(second.err.find("a check is running"), std::string::npos) << second.err;

  // The other check ends: ZVRX's start-up check runs at level 0.
  other_check.reset();
  ASSERT_TRUE(side.CollectUntil("300 3 ", kCheckMs)) << checker.Output();
  EXPECT_EQ(server.RemainingMessages("taro"), std::vector<std::string>{spam})
      << ::testing::PrintToString(side.posts());
  EXPECT_EQ(test::RunZvrxctl(root, {"log"}).out, "");
  EXPECT_EQ(checker.Terminate(), 0);
}

}  // namespace
}  // namespace zvrx

namespace zvrx {
namespace {

// ZVRX names refused delivered data in one message box when it starts, and
// goes on working without it: the block is there and stays answerable.
TEST(CheckerDataNoticeE2eTest, ADamagedThresholdFileIsShownOncePerStart) {
  ASSERT_TRUE(fs::is_directory(kDistribution)) << "build the delivered data first";
  test::TempPrefix prefix;
  const std::string& root = prefix.path();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"init", "--data", kDistribution}, {"level", "1"}, {"mode", "0"},
        {"options", "0x0000"}, {"account", "1", "taro@127.0.0.1:1", "pw"}}) {
    ASSERT_EQ(test::RunZvrxctl(root, args).status, 0) << args[0];
  }
  test::WriteHostFile(prefix.DataFolderHost() + "/kZVj-128", "");

  test::CheckerProcess checker(root, "OK");
  ASSERT_TRUE(checker.started());
  ASSERT_TRUE(checker.WaitForTranscript("messagebox", kStartMs)) << checker.Output();
  test::SettingsSide side;
  ASSERT_TRUE(side.WaitForBlock(kStartMs)) << checker.Output();
  // A settings delivery is taken after the notice: the worker goes on.
  side.LoadRecordsFromFiles();
  side.Deliver(false);
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const std::vector<std::string> transcript = checker.Transcript();
  ASSERT_EQ(transcript.size(), 1u) << ::testing::PrintToString(transcript);
  EXPECT_EQ(transcript[0].rfind("messagebox\tMailZevrox\tMail Zevrox\\n", 0), 0u) << transcript[0];
  EXPECT_NE(transcript[0].find("kZVj-128 damaged (empty)"), std::string::npos) << transcript[0];
  EXPECT_NE(transcript[0].find("本文の分析を止め"), std::string::npos) << transcript[0];
  EXPECT_NE(checker.Output().find("Mail Zevrox: kZVj-128 damaged (empty)"), std::string::npos);
  EXPECT_EQ(checker.Terminate(), 0);
}

}  // namespace
}  // namespace zvrx
