// FetchAndParse against a real Dovecot: a Japanese ISO-2022-JP message
// arrives as a Shift-JIS record, and the marked message ends the walk.
#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <string>

#include "checker/core/fetch_and_parse.h"
#include "checker/core/pop3_client.h"
#include "platform/cp932.h"
#include "tests/support/dovecot_fixture.h"
#include "tests/support/fake_clock.h"
#include "tests/support/sjis.h"

namespace zvrx {
namespace {

using test::Sjis;

class FetchAndParseDovecotTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    plain_ = "From: taro@example.jp\r\nSubject: older\r\n\r\nplain text\r\n";
    japanese_ = test::ReadMailFixture("jis_greeting.eml");
    server_ = new test::DovecotServer;
    if (!server_->Start({{"jiro", "jiro-pw", {plain_, japanese_}}})) start_error_ = server_->error();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    // A peer test that cannot reach its peer fails; it is never skipped.
    ASSERT_TRUE(start_error_.empty()) << "Dovecot could not be started: " << start_error_;
    int16_t apop_state = 0;
    ASSERT_EQ(Login(connection_, server_->Account("jiro"), "jiro-pw", apop_state), POP_OK);
  }
  void TearDown() override {
    CloseConnection(connection_);
    if (HasFailure()) std::cerr << "Dovecot log:\n" << server_->Log();
  }

  static inline test::DovecotServer* server_ = nullptr;
  static inline std::string start_error_;
  static inline std::string plain_, japanese_;
  test::FakeClock clock_;
  test::ScopedClock scoped_clock_{clock_};
  PopConnection connection_;
  MailRecord record_{};
  BodyBuffer body_;
  MarkerWalk walk_;
  ShiftJisConverter converter_;
};

TEST_F(FetchAndParseDovecotTest, AJapaneseMessageBecomesAShiftJisRecord) {
  const FetchResult fetched = FetchAndParse(connection_, 2, record_, body_, walk_, converter_);
  ASSERT_EQ(fetched.result, POP_OK);
  EXPECT_FALSE(fetched.already_seen);

  EXPECT_EQ(record_.size, static_cast<int32_t>(japanese_.size()));
  EXPECT_EQ(std::string(record_.uidl), test::DovecotServer::FixtureUidl(2));
  EXPECT_EQ(std::string(record_.subject), Sjis("こんにちは"));
  EXPECT_EQ(std::string(record_.from), Sjis("山田花子 <hanako@example.jp>"));
  EXPECT_EQ(std::string(record_.date), "Wed, 05 Jan 2005 09:07:00 +0900");
  EXPECT_EQ(std::string(record_.message_id), "<20050105090700.1234@example.jp>");
  EXPECT_EQ(std::string(record_.content_type), "text");
  EXPECT_EQ(std::string(record_.charset), "ISO-2022-JP");
  EXPECT_EQ(record_.extra_recipients, 1);
  ASSERT_TRUE(body_.allocated());
  EXPECT_EQ(std::string(body_.data()),
            Sjis("こんにちは、山田です。\r\n来週の会議の件でご連絡します。\r\n\r\n"
                 "よろしくお願いします。\r"));
}

TEST_F(FetchAndParseDovecotTest, TheMarkedMessageEndsTheWalk) {
  std::strcpy(walk_.old_marker.uidl, test::DovecotServer::FixtureUidl(1).c_str());
  FetchResult fetched = FetchAndParse(connection_, 2, record_, body_, walk_, converter_);
  ASSERT_EQ(fetched.result, POP_OK);
  EXPECT_FALSE(fetched.already_seen);
  fetched = FetchAndParse(connection_, 1, record_, body_, walk_, converter_);
  EXPECT_TRUE(fetched.already_seen);
  EXPECT_EQ(fetched.Code(), kAlreadySeenCode);
  EXPECT_FALSE(body_.allocated());
  // The newer message was the candidate for the next marker.
  EXPECT_EQ(std::string(walk_.new_marker.uidl), test::DovecotServer::FixtureUidl(2));
}

}  // namespace
}  // namespace zvrx
