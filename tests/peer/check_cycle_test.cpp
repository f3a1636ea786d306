// The check cycle against a real Dovecot: spam deleted and ham kept with
// the log and the marker written, a second walk stopping at mail already
// seen, login failures in manual mode posted while the next account is
// still checked, a dry run that changes nothing, and a delivery made during
// a check surviving it. The transfer block is real, created in the test's
// prefix and read back by name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "checker/core/check_cycle.h"
#include "checker/core/checker_state.h"
#include "checker/core/configuration.h"
#include "platform/cp932.h"
#include "shared/record_files.h"
#include "shared/records.h"
#include "shared/transfer_checker.h"
#include "tests/support/checker_machine.h"
#include "tests/support/corpus.h"
#include "tests/support/dovecot_fixture.h"
#include "tests/support/settings_side_clock.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;
using test::DovecotServer;
using test::DovecotUser;

using test::Corpus;

// A legitimate message with one 2 MB header line behind its own header
// lines: its top is a hundred times what the client reads.
std::string WithHugeHeader(const std::string& message) {
  const size_t end = message.find("\r\n\r\n");
  return message.substr(0, end + 2) + "X-Scan-Report: " + std::string(2 << 20, 'r') + "\r\n" +
         message.substr(end + 2);
}

// What the cycle showed a console: "number:verdict" per judged message.
class RecordingObserver : public CheckObserver {
 public:
  void MessageJudged(int k, int64_t number, const MailRecord&,
                     const JudgmentResult& result) override {
    judged.push_back(std::to_string(k) + "/" + std::to_string(number) + ":" +
                     (result.verdict == kVerdictDelete ? "delete" : "keep"));
  }
  std::vector<std::string> judged;
};

int LogEntries(const std::string& log) {
  int entries = 0;
  for (size_t at = 0; at < log.size(); at = log.find('\n', at) + 1) {
    if (log[at] >= '0' && log[at] <= '9') ++entries;
    if (log.find('\n', at) == std::string::npos) break;
  }
  return entries;
}

class CheckCycleTest : public test::DovecotCheckTest<CheckCycleTest> {
 public:
  static bool StartServer(DovecotServer& server) {
    const std::vector<DovecotUser> users = {
        // Numbered 1..4: spam, ham, spam, ham.
        {"taro", "taro-pw",
         {Corpus("ja-spam-01.eml"), Corpus("ja-ham-01.eml"), Corpus("en-spam-02.eml"),
          Corpus("en-ham-03.eml")}},
        {"hanako", "hanako-pw", {Corpus("ja-ham-02.eml")}},
        {"jiro", "jiro-pw", {Corpus("ja-spam-09.eml")}},
        {"saburo", "saburo-pw", {Corpus("en-ham-04.eml"), Corpus("en-spam-13.eml")}},
        {"shiro", "shiro-pw", {Corpus("ja-ham-03.eml"), Corpus("en-ham-05.eml")}},
        // Numbered 1..5: spam, spam, the 2 MB message, spam, spam.
        {"goro", "goro-pw",
         {Corpus("ja-spam-01.eml"), Corpus("en-spam-02.eml"),
          WithHugeHeader(Corpus("ja-ham-01.eml")), Corpus("ja-spam-09.eml"),
          Corpus("en-spam-13.eml")}},
    };
    return server.Start(users);
  }

 protected:
  // Saves the settings as the settings program would and loads them as the
  // checker does at start-up.
  void Configure(int16_t mode, uint16_t options,
                 const std::vector<std::pair<std::string, std::string>>& accounts) {
    std::vector<test::Login> logins;
    for (const auto& [user, password] : accounts) {
      logins.push_back({server_->Account(user), password});
    }
    ASSERT_TRUE(test::ConfigureChecker(state_, mode, options, logins));
  }

  std::string MarkerFile(const std::string& user) {
    return DataFile(platform::Cp932ToUtf8(MarkerFileName(server_->Account(user))));
  }
};

// The walk runs from the newest message down; spam goes at once, ham stays,
// each deletion is logged and the newest kept message becomes the marker.
// The next check meets that marker first and examines nothing.
TEST_F(CheckCycleTest, DeletesSpamKeepsHamAndTheNextCheckExaminesNothing) {
  Configure(1, 0, {{"taro", "taro-pw"}});
  RecordingObserver observer;
  RunCheck(state_, {.observer = &observer});

  EXPECT_EQ(observer.judged,
            (std::vector<std::string>{"1/4:keep", "1/3:delete", "1/2:keep", "1/1:delete"}));
  EXPECT_EQ(state_.counters.examined, 4);
  EXPECT_EQ(state_.counters.kept, 2);
  EXPECT_EQ(state_.counters.deleted, 2);
  EXPECT_EQ(state_.counters.account_results[0], -2);
  EXPECT_EQ(state_.counters.account_results[1], 1);  // skipped
  EXPECT_EQ(server_->RemainingMessages("taro"),
            (std::vector<std::string>{Corpus("ja-ham-01.eml"), Corpus("en-ham-03.eml")}));
  EXPECT_EQ(LogEntries(DataFile("ZVRXLog")), 2);
  const std::string marker = MarkerFile("taro");
  ASSERT_EQ(marker.size(), 1275u);
  EXPECT_STREQ(marker.c_str(), DovecotServer::FixtureUidl(4).c_str());
  EXPECT_EQ(clock_.Collect(),
            (std::vector<std::string>{"300 4 0 0 1", "300 5 4 1 1", "300 6 4 1 1", "300 5 4 2 1",
                                      "300 6 4 2 1", "300 5 4 3 1", "300 6 4 3 1", "300 5 4 4 1",
                                      "300 6 4 4 1"}));

  clock_.ClearPosts();
  observer.judged.clear();
  RunCheck(state_, {.observer = &observer});
  EXPECT_TRUE(observer.judged.empty());
  EXPECT_EQ(state_.counters.examined, 0);
  EXPECT_EQ(state_.counters.account_results[0], 1);  // met the marker
  EXPECT_EQ(server_->RemainingMessages("taro").size(), 2u);
  EXPECT_EQ(LogEntries(DataFile("ZVRXLog")), 2);
  EXPECT_EQ(clock_.Collect(), (std::vector<std::string>{"300 4 4 4 1", "300 5 2 1 1"}));
}

// A 2 MB message between spam neither ends the walk nor blocks the spam
// around it: the walk reads past it, every spam message goes, the log
// holds exactly what the server deleted, and the next check stops at once.
TEST_F(CheckCycleTest, TwoMegabyteMessageBetweenSpamLogAndServerAgree) {
  Configure(1, 0, {{"goro", "goro-pw"}});
  const auto before = server_->RemainingMessages("goro");
  RecordingObserver observer;
  RunCheck(state_, {.observer = &observer});

  EXPECT_EQ(observer.judged, (std::vector<std::string>{"1/5:delete", "1/4:delete", "1/3:keep",
                                                       "1/2:delete", "1/1:delete"}));
  EXPECT_EQ(state_.counters.account_results[0], -2);
  const auto remaining = server_->RemainingMessages("goro");
  EXPECT_EQ(remaining, std::vector<std::string>{before[2]});
  const int gone = static_cast<int>(before.size() - remaining.size());
  EXPECT_EQ(state_.counters.deleted, gone);
  EXPECT_EQ(LogEntries(DataFile("ZVRXLog")), gone);
  EXPECT_STREQ(MarkerFile("goro").c_str(), DovecotServer::FixtureUidl(3).c_str());

  observer.judged.clear();
  RunCheck(state_, {.observer = &observer});
  EXPECT_TRUE(observer.judged.empty());
  EXPECT_EQ(state_.counters.account_results[0], 1);
  EXPECT_EQ(server_->RemainingMessages("goro"), remaining);
  EXPECT_EQ(LogEntries(DataFile("ZVRXLog")), gone);
}

// Three accounts, the second with a wrong password: in manual mode with
// report bit 4 the checker posts 133 for account 2 right after it, and the
// third account is still checked. Other modes and options post nothing.
TEST_F(CheckCycleTest, LoginFailurePostedInManualModeAndNextAccountChecked) {
  struct Case {
    int16_t mode;
    uint16_t options;
    bool posted;
  } cases[] = {{0, kOptManualReport, true}, {0, 0, false}, {1, kOptManualReport, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " options " << c.options);
    clock_.ClearPosts();
    Configure(c.mode, c.options,
              {{"hanako", "hanako-pw"}, {"hanako", "wrong"}, {"jiro", "jiro-pw"}});
    RunCheck(state_);
    EXPECT_EQ(state_.counters.account_results[1], -8);
    EXPECT_NE(state_.counters.account_results[2], -8);

    std::vector<std::string> codes;
    for (const auto& post : clock_.Collect()) {
      if (post.rfind("300 4 ", 0) == 0) codes.push_back("lookup " + post.substr(post.size() - 1));
      if (post.rfind("13", 0) == 0) codes.push_back(post);
    }
    std::vector<std::string> expected = {"lookup 1", "lookup 2", "lookup 3"};
    if (c.posted) expected.insert(expected.begin() + 2, "133 2 1 0 2");
    EXPECT_EQ(codes, expected);
  }
  // The third account's spam went in the first round.
  EXPECT_TRUE(server_->RemainingMessages("jiro").empty());
  EXPECT_EQ(server_->RemainingMessages("hanako").size(), 1u);
}

// A dry run fetches and judges every new message as a check would, but the
// server, the work log and the markers stay as they were.
TEST_F(CheckCycleTest, DryRunChangesNothing) {
  Configure(1, 0, {{"saburo", "saburo-pw"}});
  const auto before = server_->RemainingMessages("saburo");
  for (int round = 0; round < 2; ++round) {
    RecordingObserver observer;
    RunCheck(state_, {.dry_run = true, .observer = &observer});
    EXPECT_EQ(observer.judged, (std::vector<std::string>{"1/2:delete", "1/1:keep"}));
    EXPECT_EQ(state_.counters.examined, 2);
    EXPECT_EQ(state_.counters.deleted, 1);
    EXPECT_EQ(state_.counters.kept, 1);
  }
  EXPECT_EQ(server_->RemainingMessages("saburo"), before);
  EXPECT_FALSE(fs::exists(prefix_.DataFolderHost() + "/ZVRXLog"));
  EXPECT_EQ(MarkerFile("saburo"), "");
}

// Settings delivered while a check runs (here during the pause after the
// first judged message) stay in the block: the check's later progress posts
// give way, and the scheduler takes the delivery afterwards.
TEST_F(CheckCycleTest, DeliveryDuringACheckSurvivesIt) {
  for (int16_t mode : {0, 1}) {
    SCOPED_TRACE(mode);
    Configure(mode, 0, {{"shiro", "shiro-pw"}});
    SettingsRecords delivered = state_.transfer.records;
    delivered.basic.check_mode = 4;
    clock_.DeliverOnSleepOf(100, delivered, /*check_now=*/true);
    RunCheck(state_);
    EXPECT_EQ(clock_.HandshakeByte(), TRAN_SETTINGS);
    DeliveryResult taken = ConsumeSettings(state_.transfer);
    EXPECT_TRUE(taken.taken);
    EXPECT_EQ(state_.transfer.records.basic.check_mode, 4);
    EXPECT_EQ(state_.transfer.local.code, TRAN_SETTINGS);
    EXPECT_EQ(state_.transfer.local.p1, 1);
    // Delete the marker so the next round walks the same two messages.
    fs::remove(prefix_.DataFolderHost() + "/" +
               platform::Cp932ToUtf8(MarkerFileName(server_->Account("shiro"))));
  }
}

}  // namespace
}  // namespace zvrx
