// zvrxctl's judgment and list commands reach a ZVRX that is already
// running, as the pages' deliveries do: after a rejection-list entry and
// every dictionary switched off, the next check deletes the rejected
// sender's mail and keeps the spam that only a dictionary would catch.
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shared/records.h"
#include "shared/transfer_settings.h"
#include "tests/support/checker_process.h"
#include "tests/support/dovecot_fixture.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;

const std::string kDistribution = ZVRX_BINARY_DIR "/Installer Resources";
const std::string kPharmacySpam = ZVRX_SOURCE_DIR "/tests/corpus/en-spam-13.eml";
const std::string kClubNews =
    "From: Garden Club <news@club.example>\r\n"
    "To: taro@example.jp\r\n"
    "Subject: Spring planting day\r\n"
    "Message-ID: <spring-1@club.example>\r\n"
    "Content-Type: text/plain; charset=us-ascii\r\n"
    "\r\n"
    "We meet on Saturday at ten.\r\n";
constexpr int kStartMs = 20000;
constexpr int kCheckMs = 60000;

TEST(ZvrxctlE2eTest, JudgmentAndListCommandsAreTakenOverByTheRunningChecker) {
  ASSERT_TRUE(fs::is_directory(kDistribution)) << "build the delivered data first";
  test::TempPrefix prefix;
  test::DovecotServer server;
  const std::string spam = test::ReadHostFile(kPharmacySpam);
  ASSERT_TRUE(server.Start({{"taro", "taro-pw", {spam, kClubNews}}})) << server.error();

  const std::string& root = prefix.path();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"init", "--data", kDistribution}, {"level", "1"}, {"mode", "0"},
        {"options", "0x0000"}, {"account", "1", server.Account("taro"), "taro-pw"}}) {
    ASSERT_EQ(test::RunZvrxctl(root, args).status, 0) << args[0];
  }
  ASSERT_NE(test::RunZvrxctl(root, {"judge", kPharmacySpam}).out.find("\tdelete\t"),
            std::string::npos)
      << "precondition: a dictionary catches the spam";

  test::CheckerProcess checker(root, "");
  ASSERT_TRUE(checker.started());
  test::SettingsSide side;
  ASSERT_TRUE(side.WaitForBlock(kStartMs)) << checker.Output();

  ASSERT_EQ(test::RunZvrxctl(root, {"reject", "add", "news@club.example"}).status, 0);
  std::vector<std::string> off = {"dictionaries"};
  std::istringstream listed(test::RunZvrxctl(root, {"dictionaries"}).out);
  for (std::string line; std::getline(listed, line);) {
    off.push_back(line.substr(0, line.find(':')));
    off.push_back("off");
  }
  ASSERT_GT(off.size(), 1u);
  const test::ProgramRun switched = test::RunZvrxctl(root, off);
  ASSERT_EQ(switched.status, 0) << switched.err;

  // A check request with the records as saved: its flags are clear, so only
  // zvrxctl's own deliveries can have told the checker to reload.
  side.LoadRecordsFromFiles();
  EXPECT_EQ(side.records().judgment.languages_changed, 0);
  EXPECT_EQ(side.records().mailer.list_reload_flags, 0);
  side.Deliver(true);
  ASSERT_TRUE(side.CollectUntil("300 3 ", kCheckMs)) << checker.Output();
  EXPECT_EQ(server.RemainingMessages("taro"), std::vector<std::string>{spam})
      << ::testing::PrintToString(side.posts());
  EXPECT_NE(test::RunZvrxctl(root, {"log"}).out.find("news@club.example"), std::string::npos);
  EXPECT_EQ(checker.Terminate(), 0);
}

}  // namespace
}  // namespace zvrx
