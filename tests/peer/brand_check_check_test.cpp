// The brand check through the check cycle against a real Dovecot, with a
// small data folder of our own (one phishing dictionary, an invented brand)
// so that the delivered words cannot move the result: a notice that names
// the brand from a domain of its own and links there stays; the same words
// from a stranger's domain, linking to it, are deleted only while the option
// is on, and switching it in ZVRXExt.ini reaches the next check of the same
// running state.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checker/analysis/analysis_tables.h"
#include "checker/analysis/brand_check.h"
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

// The same words in both; only the sender and the link differ.
std::string Notice(const std::string& from, const std::string& link, const std::string& id) {
  return "From: " + test::Utf8Word("つばさカード") + " <" + from +
         ">\r\nTo: ume@example.ne.jp\r\nSubject: " + test::Utf8Word("ご利用確認のお願い") +
         "\r\nDate: Thu, 10 Dec 2026 21:04:10 +0900\r\nMessage-ID: <" + id +
         ">\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=Shift_JIS\r\n\r\n" +
         Sjis("いつもつばさカードをご利用いただきありがとうございます。\r\n"
              "ご利用内容の確認のため、下記よりログインしてください。\r\n") +
         link + "\r\n";
}

std::string RealNotice() {
  return Notice("info@mail.tsubasa-card.example.jp", "https://www.tsubasa-card.example.jp/login",
                "20261210.R1@tsubasa-card.example.jp");
}
std::string Phish() {
  return Notice("info@card-desk.example.org", "https://tsubasa-login.card-desk.example.org/",
                "20261210.P1@card-desk.example.org");
}

class BrandCheckCheckTest : public test::DovecotCheckTest<BrandCheckCheckTest> {
 public:
  static bool StartServer(DovecotServer& server) {
    // Numbered 1, 2: the real notice, then the phish.
    return StartTwoBoxes(server, RealNotice(), Phish());
  }

 protected:
  void InstallData() override {
    // One word of 1000 against a threshold of 2000: the words alone keep
    // both messages, the brand's 1500 tips the phish over.
    test::DictionaryContents phish{Sjis("フィッシング詐欺メール"), kLanguageJapanese, true, "",
                                   {{Sjis("ログインして"), 1000, {}, {}}}};
    test::WriteDictionary(prefix_.InstallRootHost(), "11jp_phish", phish);
    test::WriteJudgmentFiles(prefix_.DataFolderHost(), {2000, 0, 2000, 0, 2000, 0, 20000, 0});
    test::WriteHostFile(prefix_.DataFolderHost() + "/" + kBrandTableName,
                        Sjis("ZVRXBrand\t1\t1500\r\n"
                             "つばさカード\t11jp_phish\ttsubasa-card.example.jp\r\n"));
  }
};

TEST_F(BrandCheckCheckTest, OnlyTheMessageOffTheBrandsDomainsIsDeletedWhileTheOptionIsOn) {
  ASSERT_EQ(ChangeExtensionSettings({{kBrandCheckKey, "off"}}), "");
  Configure("kiku", "kiku-pw");
  ASSERT_TRUE(state_.analysis.scoring.tables.brands.present);
  RunCheck(state_, {});
  EXPECT_EQ(state_.counters.examined, 2);
  EXPECT_EQ(state_.counters.deleted, 0);
  EXPECT_EQ(server_->RemainingMessages("kiku").size(), 2u);

  // On, as a new installation has it (the key is removed, not set).
  BackToNewInstallationOptions();
  Configure("ume", "ume-pw");
  ASSERT_TRUE(state_.analysis.scoring.tables.brands.present);
  RunCheck(state_, {});
  EXPECT_EQ(state_.counters.examined, 2);
  EXPECT_EQ(state_.counters.kept, 1);
  EXPECT_EQ(state_.counters.deleted, 1);
  EXPECT_EQ(server_->RemainingMessages("ume"), std::vector<std::string>{RealNotice()});
  const std::string log = Log();
  EXPECT_NE(log.find(Sjis("フィッシング詐欺メール")), std::string::npos) << platform::Cp932ToUtf8(log);
}

}  // namespace
}  // namespace zvrx
