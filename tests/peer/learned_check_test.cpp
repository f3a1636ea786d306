// The learned judgment through the check cycle against a real Dovecot: an
// investment invitation that no delivered dictionary scores past its
// threshold, beside a plain work mail. With the option off both stay; on,
// the same running checker state deletes the invitation at its next check
// and logs it under the category of the dictionary that came closest.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "checker/analysis/marker.h"
#include "checker/core/check_cycle.h"
#include "checker/core/checker_state.h"
#include "platform/cp932.h"
#include "shared/extension_settings.h"
#include "tests/support/checker_machine.h"
#include "tests/support/dovecot_fixture.h"
#include "tests/support/sjis.h"

namespace zvrx {
namespace {

using test::DovecotServer;
using test::Sjis;

std::string Invitation() {
  return "From: Ken <ken@quick-yield.example>\r\nTo: hana@example.ne.jp\r\n"
         "Subject: quick question\r\nDate: Thu, 10 Dec 2026 08:12:00 +0900\r\n"
         "Message-ID: <20261210081200.K7@quick-yield.example>\r\n"
         "Content-Type: text/plain; charset=us-ascii\r\n\r\n"
         "Hey, my cousin showed me a trading app that grew his savings fast.\r\n"
         "He started small last month and now gets steady daily returns.\r\n"
         "Want me to send you the invite link? Spots are limited.\r\n"
         "Join here: https://quick-yield.example/join?ref=ken\r\n";
}

std::string WorkMail() {
  return "From: Mori <mori@works.example.jp>\r\nTo: hana@example.ne.jp\r\n"
         "Subject: slides for Monday\r\nDate: Thu, 10 Dec 2026 09:30:00 +0900\r\n"
         "Message-ID: <20261210093000.M2@works.example.jp>\r\n"
         "Content-Type: text/plain; charset=us-ascii\r\n\r\n"
         "Hana, I put the slides for Monday's review in the shared folder.\r\n"
         "Could you check the budget table before lunch? Thanks, Mori\r\n";
}

class LearnedCheckTest : public test::DovecotCheckTest<LearnedCheckTest> {
 public:
  static bool StartServer(DovecotServer& server) {
    return server.Start({{"hana", "hana-pw", {WorkMail(), Invitation()}}});
  }

 protected:
  void Configure() {
    ASSERT_TRUE(test::ConfigureChecker(state_, 1, 0, {{server_->Account("hana"), "hana-pw"}}));
  }
};

TEST_F(LearnedCheckTest, TheOptionIsReadAtEachCheckAndTheLayerDeletes) {
  ASSERT_EQ(ChangeExtensionSettings({{kLearnedJudgmentKey, "off"}}), "");
  Configure();
  RunCheck(state_, {});
  EXPECT_EQ(state_.counters.examined, 2);
  EXPECT_EQ(state_.counters.deleted, 0);
  EXPECT_EQ(server_->RemainingMessages("hana").size(), 2u);
  EXPECT_EQ(Log(), "");

  // The marker remembers both; a new box lets the next check see them again.
  ASSERT_EQ(ChangeExtensionSettings({{kLearnedJudgmentKey, "on"}}), "");
  const std::string marker =
      prefix_.DataFolderHost() + "/" + MarkerFileName(server_->Account("hana"));
  ASSERT_EQ(std::remove(marker.c_str()), 0) << marker;
  RunCheck(state_, {});
  EXPECT_EQ(server_->RemainingMessages("hana"), std::vector<std::string>{WorkMail()});
  const std::string log = Log();
  EXPECT_NE(log.find(Sjis("英文金融・カジノ勧誘メール")), std::string::npos)
      << platform::Cp932ToUtf8(log);
  EXPECT_NE(log.find("(Subject :quick question)\r\n"), std::string::npos)
      << platform::Cp932ToUtf8(log);
}

}  // namespace
}  // namespace zvrx
