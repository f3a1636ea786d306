// The guard for quoted warnings through the check cycle against a real
// Dovecot, with a small data folder of our own (one phishing dictionary) so
// that the delivered words cannot move the result: a bank's warning that
// quotes the fake mail's threats is deleted only while the option is off,
// the phish that says the same threats itself is deleted either way, and
// switching the option in ZVRXExt.ini reaches the next check of the same
// running state.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checker/core/check_cycle.h"
#include "checker/core/checker_state.h"
#include "platform/cp932.h"
#include "shared/extension_settings.h"
#include "shared/records.h"
#include "tests/support/checker_machine.h"
#include "tests/support/dictionary_builder.h"
#include "tests/support/dovecot_fixture.h"
#include "tests/support/mail_encoding.h"
#include "tests/support/sjis.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

using test::DovecotServer;
using test::Sjis;

std::string Message(const std::string& from, const std::string& subject, const std::string& id,
                    const std::string& body) {
  return "From: " + from + "\r\nTo: ume@example.ne.jp\r\nSubject: " + test::Utf8Word(subject) +
         "\r\nDate: Fri, 11 Dec 2026 09:12:40 +0900\r\nMessage-ID: <" + id +
         ">\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=Shift_JIS\r\n\r\n" +
         Sjis(body.c_str());
}

std::string Warning() {
  return Message("info@hoshizora-bank.example.jp", "当行を装ったメールにご注意ください",
                 "20261211.W1@hoshizora-bank.example.jp",
                 "当行を装った不審なメールが届いています。\r\n"
                 "「お客様の口座が凍結されました」「至急本人確認をお願いします」\r\n"
                 "といった文面で偽サイトへ誘導しますので、リンクは開かないでください。\r\n");
}

std::string Phish() {
  return Message("info@hoshizora-support.example.org", "重要なお知らせ",
                 "20261211.P1@hoshizora-support.example.org",
                 "お客様の口座が凍結されました。\r\n"
                 "至急本人確認をお願いします。下記よりお手続きください。\r\n");
}

class QuotedWarningsCheckTest : public test::DovecotCheckTest<QuotedWarningsCheckTest> {
 public:
  static bool StartServer(DovecotServer& server) {
    // Numbered 1, 2: the warning, then the phish.
    return StartTwoBoxes(server, Warning(), Phish());
  }

 protected:
  void InstallData() override {
    // 1500 + 1000 against a threshold of 2000: both threats together delete.
    test::DictionaryContents phish{Sjis("フィッシング詐欺メール"), kLanguageJapanese, true, "",
                                   {{Sjis("凍結されました"), 1500, {}, {}},
                                    {Sjis("本人確認"), 1000, {}, {}}}};
    test::WriteDictionary(prefix_.InstallRootHost(), "11jp_phish", phish);
    test::WriteJudgmentFiles(prefix_.DataFolderHost(), {2000, 0, 2000, 0, 2000, 0, 20000, 0});
  }
};

TEST_F(QuotedWarningsCheckTest, TheWarningIsKeptOnlyWhileTheOptionIsOn) {
  ASSERT_EQ(ChangeExtensionSettings({{kQuotedWarningsKey, "off"}}), "");
  Configure("kiku", "kiku-pw");
  RunCheck(state_, {});
  EXPECT_EQ(state_.counters.examined, 2);
  EXPECT_EQ(state_.counters.deleted, 2);
  EXPECT_TRUE(server_->RemainingMessages("kiku").empty());

  // On, as a new installation has it (the key is removed, not set).
  BackToNewInstallationOptions();
  Configure("ume", "ume-pw");
  RunCheck(state_, {});
  EXPECT_EQ(state_.counters.examined, 2);
  EXPECT_EQ(state_.counters.kept, 1);
  EXPECT_EQ(state_.counters.deleted, 1);
  EXPECT_EQ(server_->RemainingMessages("ume"), std::vector<std::string>{Warning()});
}

}  // namespace
}  // namespace zvrx
