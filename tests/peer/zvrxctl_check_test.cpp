// zvrxctl check, run as the real program against a real Dovecot: a dry run
// that changes nothing anywhere, a real check that deletes the spam and
// logs it, a failed login giving status 1 with its reason, and no check at
// all without an enabled account.

#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/corpus.h"
#include "tests/support/dovecot_fixture.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_prefix.h"


namespace zvrx {
namespace {

namespace fs = std::filesystem;
using test::DovecotServer;

const std::string kDistribution = ZVRX_BINARY_DIR "/Installer Resources";
using test::Corpus;

using CtlResult = test::ProgramRun;

class ZvrxctlCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::is_directory(kDistribution)) << "build the delivered data first";
    // Numbered 1..3: spam, ham, spam.
    ASSERT_TRUE(server_.Start({{"taro", "taro-pw",
                                {Corpus("ja-spam-15.eml"), Corpus("ja-ham-04.eml"),
                                 Corpus("en-spam-13.eml")}}}))
        << server_.error();
    ASSERT_EQ(Ctl({"init", "--data", kDistribution}).status, 0);
    ASSERT_EQ(Ctl({"level", "1"}).status, 0);
    ASSERT_EQ(Ctl({"account", "1", server_.Account("taro"), "taro-pw"}).status, 0);
  }
  void TearDown() override {
    if (HasFailure()) std::cerr << "Dovecot log:\n" << server_.Log();
  }

  CtlResult Ctl(std::vector<std::string> args) {
    return test::RunZvrxctl(prefix_.path(), std::move(args), {});
  }

  // Every file of the emulated machine with its bytes.
  std::map<std::string, std::string> Machine() {
    std::map<std::string, std::string> files;
    for (const auto& entry :
         fs::recursive_directory_iterator(fs::path(prefix_.path()) / "drive_c")) {
      if (entry.is_regular_file()) files[entry.path().string()] = test::ReadHostFile(entry.path());
    }
    return files;
  }

  test::TempPrefix prefix_;
  DovecotServer server_;
};

// What a real check would delete, shown before anyone trusts it: every
// message with its verdict, and not a byte changed on the server or the
// machine.
TEST_F(ZvrxctlCheckTest, DryRunShowsVerdictsAndChangesNothing) {
  const auto server_before = server_.RemainingMessages("taro");
  const auto machine_before = Machine();
  CtlResult run = Ctl({"check", "--dry-run"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("message 3: would delete (英文医薬品広告)\n"
                         "    From: \"Canadian Pharmacy\""),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("message 2: would keep\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("message 1: would delete (副業勧誘メール)"), std::string::npos);
  EXPECT_NE(run.out.find("account 1: examined 3, kept 1, deleted 2\n"), std::string::npos);
  EXPECT_NE(run.out.find("total: examined 3, kept 1, would delete 2\n"), std::string::npos);
  EXPECT_EQ(server_.RemainingMessages("taro"), server_before);
  EXPECT_EQ(Machine(), machine_before);
}

// The real check deletes what the preview named; the next one stops at the
// kept message; a wrong password on a second account gives status 1 and the
// reason while the first account is still checked.
TEST_F(ZvrxctlCheckTest, CheckDeletesThenStopsAtSeenMailAndReportsFailedLogins) {
  CtlResult run = Ctl({"check"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("total: examined 3, kept 1, deleted 2\n"), std::string::npos) << run.out;
  EXPECT_EQ(server_.RemainingMessages("taro"),
            std::vector<std::string>{Corpus("ja-ham-04.eml")});
  CtlResult log = Ctl({"log"});
  EXPECT_NE(log.out.find("英文医薬品広告を削除しました"), std::string::npos) << log.out;

  ASSERT_EQ(Ctl({"account", "2", server_.Account("taro"), "wrong"}).status, 0);
  run = Ctl({"check"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("account 1: examined 0, kept 0, deleted 0 (stopped at mail seen by an "
                         "earlier check)\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("account 2: login failed: the server did not accept the password\n"),
            std::string::npos)
      << run.out;
}

// A 2 MB message between spam: the check succeeds, the log holds one entry
// per message the server no longer has, and the oversized one stays.
TEST_F(ZvrxctlCheckTest, TwoMegabyteMessageBetweenSpamLogAndServerAgree) {
  std::string huge = Corpus("ja-ham-04.eml");
  const size_t header_end = huge.find("\r\n\r\n");
  huge.insert(header_end + 2, "X-Scan-Report: " + std::string(2 << 20, 'r') + "\r\n");
  DovecotServer server;
  ASSERT_TRUE(server.Start({{"jiro", "jiro-pw",
                             {Corpus("en-spam-13.eml"), huge, Corpus("en-spam-13.eml")}}}))
      << server.error();
  ASSERT_EQ(Ctl({"account", "1", server.Account("jiro"), "jiro-pw"}).status, 0);
  CtlResult run = Ctl({"check"});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("account 1: examined 3, kept 1, deleted 2\n"), std::string::npos)
      << run.out;
  EXPECT_EQ(server.RemainingMessages("jiro"), std::vector<std::string>{huge});
  const std::string log = test::ReadHostFile(prefix_.DataFolderHost() + "/ZVRXLog");
  size_t entries = 0;
  for (size_t at = 0; (at = log.find("\r\n\r\n", at)) != std::string::npos; at += 4) ++entries;
  EXPECT_EQ(entries, 2u) << log;
}

TEST_F(ZvrxctlCheckTest, NothingToCheckOrBadArguments) {
  ASSERT_EQ(Ctl({"account", "1", "--clear"}).status, 0);
  CtlResult run = Ctl({"check"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("no account is enabled"), std::string::npos) << run.err;
  EXPECT_EQ(Ctl({"check", "--bogus"}).status, 2);
}

// Without "ZVmi128" the checker's own fatal text is printed.
TEST_F(ZvrxctlCheckTest, MissingBasicSettingsPrintsTheFatalText) {
  fs::remove(prefix_.DataFolderHost() + "/ZVmi128");
  CtlResult run = Ctl({"check"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("基本設定が行われていません。"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace zvrx
