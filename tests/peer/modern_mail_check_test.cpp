// Today's mail through the check cycle against a real Dovecot: a UTF-8
// Base64 HTML-only spam and a UTF-8 quoted-printable legitimate mail, made
// from corpus messages (the same words in today's clothing). With the option
// on the spam is deleted and logged with a readable From and Subject; with
// it off the same checker state keeps it, and switching the option in
// ZVRXExt.ini reaches the next check without a restart.
#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "checker/analysis/parse_message.h"
#include "checker/core/check_cycle.h"
#include "checker/core/checker_state.h"
#include "checker/core/configuration.h"
#include "checker/core/message_file.h"
#include "platform/cp932.h"
#include "shared/extension_settings.h"
#include "shared/record_files.h"
#include "shared/records.h"
#include "shared/transfer_checker.h"
#include "tests/support/checker_machine.h"
#include "tests/support/dovecot_fixture.h"
#include "tests/support/mail_encoding.h"
#include "tests/support/settings_side_clock.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

using test::DovecotServer;
using test::DovecotUser;

const std::string kCorpus = ZVRX_SOURCE_DIR "/tests/corpus/";

// A corpus message read the written way: Subject and body in UTF-8.
struct Words {
  std::string subject;
  std::string body;
};
Words Read(const std::string& name) {
  BodyBuffer body;
  MessageFileToTopText(test::ReadHostFile(kCorpus + name), body);
  MailRecord record{};
  ShiftJisConverter converter;
  ParseMessage(body.data(), body.text_length, record, converter);
  return {platform::Cp932ToUtf8(record.subject), platform::Cp932ToUtf8(body.data())};
}

std::string Headers(const std::string& from, const std::string& subject, const std::string& id) {
  return "From: " + from + "\r\nTo: ume@example.ne.jp\r\nSubject: " + subject +
         "\r\nDate: Wed, 9 Dec 2026 21:04:10 +0900\r\nMessage-ID: <" + id +
         ">\r\nMIME-Version: 1.0\r\n";
}

// HTML only, in Base64: each line a paragraph, as bulk mailers write it.
std::string SpamMail() {
  const Words words = Read("ja-spam-01.eml");
  std::string html = "<html><head><style>p{margin:0}</style></head><body>\r\n<div>";
  size_t start = 0;
  while (start < words.body.size()) {
    size_t end = words.body.find("\r\n", start);
    if (end == std::string::npos) end = words.body.size();
    html += "<p>" + words.body.substr(start, end - start) + "</p>\r\n";
    start = end + 2;
  }
  html += "</div></body></html>\r\n";
  return Headers(test::Utf8Word("Amazon.co.jp カスタマーサービス") +
                     " <notice@amazon-co-jp.account-check.invalid>",
                 test::Utf8Word(words.subject), "20261209210410.A1@account-check.invalid") +
         "Content-Type: text/html; charset=UTF-8\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
         test::Base64Encode(html);
}

std::string LegitimateMail() {
  const Words words = Read("ja-ham-01.eml");
  return Headers(test::Utf8Word("木下 直子") + " <naoko@family.example.jp>",
                 test::Utf8Word(words.subject), "20261209200000.B2@family.example.jp") +
         "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: "
         "quoted-printable\r\n\r\n" +
         test::QuotedPrintableEncode(words.body);
}

class ModernMailCheckTest : public test::DovecotCheckTest<ModernMailCheckTest> {
 public:
  static bool StartServer(DovecotServer& server) {
    // Numbered 1, 2: the legitimate mail, then the spam.
    return StartTwoBoxes(server, LegitimateMail(), SpamMail());
  }
};

TEST_F(ModernMailCheckTest, TheSpamIsDeletedAndLoggedReadablyAndTheOptionIsReadAtEachCheck) {
  // Off: the written judgment keeps UTF-8 mail unread.
  ASSERT_EQ(ChangeExtensionSettings({{kModernMailKey, "off"}}), "");
  Configure("kiku", "kiku-pw");
  RunCheck(state_, {});
  EXPECT_EQ(state_.counters.examined, 2);
  EXPECT_EQ(state_.counters.deleted, 0);
  EXPECT_EQ(server_->RemainingMessages("kiku").size(), 2u);
  EXPECT_EQ(Log(), "");

  // On (as zvrxctl modern on or the page would set it): the same running
  // state reads it at the next check.
  ASSERT_EQ(ChangeExtensionSettings({{kModernMailKey, "on"}}), "");
  Configure("ume", "ume-pw");
  RunCheck(state_, {});
  EXPECT_EQ(state_.counters.examined, 2);
  EXPECT_EQ(state_.counters.kept, 1);
  EXPECT_EQ(state_.counters.deleted, 1);
  EXPECT_EQ(server_->RemainingMessages("ume"), std::vector<std::string>{LegitimateMail()});

  const std::string log = Log();
  const Words spam = Read("ja-spam-01.eml");
  EXPECT_NE(log.find("(From :" + platform::Utf8ToCp932("Amazon.co.jp カスタマーサービス") +
                     " <notice@amazon-co-jp.account-check.invalid>)\r\n"),
            std::string::npos)
      << platform::Cp932ToUtf8(log);
  EXPECT_NE(log.find("(Subject :" + platform::Utf8ToCp932(spam.subject) + ")\r\n"),
            std::string::npos)
      << platform::Cp932ToUtf8(log);
  EXPECT_EQ(log.find("=?"), std::string::npos);
}

}  // namespace
}  // namespace zvrx
