// The POP3 client against a real Dovecot on loopback: logins of both kinds,
// rejections, the walk's commands, and DELE committed by QUIT.
#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "checker/analysis/mail_record.h"
#include "checker/analysis/parse_message.h"
#include "checker/core/pop3_client.h"
#include "tests/support/dovecot_fixture.h"
#include "tests/support/fake_clock.h"

namespace zvrx {
namespace {

using test::DovecotServer;
using test::DovecotUser;

std::string Message(const std::string& subject, int body_lines, int line_width) {
  std::string text = "From: hanako@example.jp\r\nTo: taro@example.jp\r\nSubject: " + subject +
                     "\r\nMessage-Id: <" + subject + "@example.jp>\r\n\r\n";
  for (int i = 1; i <= body_lines; ++i) {
    std::string line = "line " + std::to_string(i) + " ";
    line.resize(static_cast<size_t>(line_width), 'x');
    text += line + "\r\n";
  }
  return text;
}

// The message as TOP n 150 sends it: header and 150 body lines.
std::string TopOf(const std::string& message) {
  size_t pos = message.find("\r\n\r\n") + 4;
  for (int i = 0; i < 150 && pos < message.size(); ++i) pos = message.find("\r\n", pos) + 2;
  return message.substr(0, pos);
}

class Pop3DovecotTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    short_message_ = Message("short", 2, 20) + ".a line that starts with a dot\r\n";
    many_lines_ = Message("many-lines", 300, 60);
    wide_lines_ = Message("wide-lines", 200, 150);
    japanese_ = test::ReadMailFixture("iso2022jp_greeting.eml");
    server_ = new DovecotServer;
    std::vector<DovecotUser> users = {
        {"taro", "taro-secret", {short_message_, many_lines_, wide_lines_, japanese_}},
        {"hanako", "hanako-pw", {Message("one", 1, 10), Message("two", 1, 10), Message("three", 1, 10)}},
    };
    if (!server_->Start(users)) start_error_ = server_->error();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    // A peer test that cannot reach its peer fails; it is never skipped.
    ASSERT_TRUE(start_error_.empty()) << "Dovecot could not be started: " << start_error_;
  }
  void TearDown() override {
    CloseConnection(connection_);
    if (HasFailure()) std::cerr << "Dovecot log:\n" << server_->Log();
  }

  PopResult LogIn(const std::string& user, const std::string& password, int16_t& state) {
    return Login(connection_, server_->Account(user), password, state);
  }

  static inline DovecotServer* server_ = nullptr;
  static inline std::string start_error_;
  static inline std::string short_message_, many_lines_, wide_lines_, japanese_;
  test::FakeClock clock_;  // the wait after PASS costs no time
  test::ScopedClock scoped_clock_{clock_};
  PopConnection connection_;
};

TEST_F(Pop3DovecotTest, FirstLoginFindsApopAndUserPassWorksToo) {
  int16_t state = 0;
  ASSERT_EQ(LogIn("taro", "taro-secret", state), POP_OK);
  EXPECT_EQ(state, 1);  // the greeting carried a time stamp and APOP was accepted
  CloseConnection(connection_);
  state = -1;
  ASSERT_EQ(LogIn("taro", "taro-secret", state), POP_OK);
  EXPECT_EQ(state, -1);
  EXPECT_EQ(clock_.TotalSlept(), 1000u);
}

TEST_F(Pop3DovecotTest, WrongPasswordAndUnknownUserAreRejected) {
  struct Case {
    const char* user;
    const char* password;
    int16_t state_before;
    PopResult result;
    int16_t state_after;
  } cases[] = {
      {"taro", "wrong", 1, POP_USER_REJECTED, 1},    // APOP only, no retry
      {"taro", "wrong", -1, POP_PASS_REJECTED, -1},  // USER is always accepted
      {"taro", "wrong", 0, POP_PASS_REJECTED, 0},    // APOP, then USER/PASS: nothing learnt
      {"nobody-here", "x", 1, POP_USER_REJECTED, 1},
      {"nobody-here", "x", 0, POP_PASS_REJECTED, 0},
  };
  for (const Case& c : cases) {
    int16_t state = c.state_before;
    EXPECT_EQ(LogIn(c.user, c.password, state), c.result) << c.user << " " << c.state_before;
    EXPECT_EQ(state, c.state_after) << c.user << " " << c.state_before;
    EXPECT_EQ(connection_.socket, nullptr);
  }
  // Right after the failures the right password still gets in.
  int16_t state = 0;
  EXPECT_EQ(LogIn("taro", "taro-secret", state), POP_OK);
}

TEST_F(Pop3DovecotTest, StatListAndUidlDescribeTheMailbox) {
  int16_t state = 0;
  ASSERT_EQ(LogIn("taro", "taro-secret", state), POP_OK);
  int64_t count = 0;
  ASSERT_EQ(Stat(connection_, count), POP_OK);
  ASSERT_EQ(count, 4);
  const std::string* messages[] = {&short_message_, &many_lines_, &wide_lines_, &japanese_};
  for (int n = 1; n <= 4; ++n) {
    int32_t size = 0;
    char uidl[kUidlMaxLength + 1];
    ASSERT_EQ(List(connection_, n, size), POP_OK);
    EXPECT_EQ(size, static_cast<int32_t>(messages[n - 1]->size())) << n;
    ASSERT_EQ(Uidl(connection_, n, uidl, sizeof uidl), POP_OK);
    EXPECT_EQ(uidl, DovecotServer::FixtureUidl(n));
  }
  // No message 9: LIST gives size 0 and success, UIDL an empty id.
  int32_t size = 5;
  char uidl[kUidlMaxLength + 1] = "x";
  EXPECT_EQ(List(connection_, 9, size), POP_OK);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(Uidl(connection_, 9, uidl, sizeof uidl), POP_OK);
  EXPECT_STREQ(uidl, "");
  BodyBuffer body;
  EXPECT_EQ(Top(connection_, 9, body), POP_COMMAND_FAILED);
}

TEST_F(Pop3DovecotTest, TopGivesHeaderAnd150LinesAndCutsLongTexts) {
  int16_t state = -1;
  ASSERT_EQ(LogIn("taro", "taro-secret", state), POP_OK);
  BodyBuffer body;
  ASSERT_EQ(Top(connection_, 1, body), POP_OK);
  // The dot that the server doubled stays doubled.
  std::string stuffed = short_message_;
  stuffed.insert(stuffed.find("\r\n.a ") + 2, ".");
  EXPECT_EQ(std::string(body.data()), stuffed);

  ASSERT_EQ(Top(connection_, 2, body), POP_OK);
  EXPECT_EQ(std::string(body.data()), TopOf(many_lines_));
  EXPECT_EQ(body.text_length, static_cast<int>(TopOf(many_lines_).size()) - 1);

  // 150 lines of 150 bytes pass 18,900: cut at 18,902, rest drained.
  ASSERT_GT(TopOf(wide_lines_).size(), 18902u);
  ASSERT_EQ(Top(connection_, 3, body), POP_OK);
  EXPECT_EQ(std::string(body.data()), wide_lines_.substr(0, 18902));
  char uidl[kUidlMaxLength + 1];
  ASSERT_EQ(Uidl(connection_, 4, uidl, sizeof uidl), POP_OK);
  EXPECT_EQ(uidl, DovecotServer::FixtureUidl(4));
}

TEST_F(Pop3DovecotTest, DeletionTakesEffectOnlyWithQuit) {
  int16_t state = 0;
  ASSERT_EQ(LogIn("hanako", "hanako-pw", state), POP_OK);
  ASSERT_EQ(Dele(connection_, 1), POP_OK);
  EXPECT_EQ(Dele(connection_, 1), POP_COMMAND_FAILED);  // already marked
  connection_.socket.reset();  // the line breaks: no QUIT
  ASSERT_EQ(LogIn("hanako", "hanako-pw", state), POP_OK);
  int64_t count = 0;
  ASSERT_EQ(Stat(connection_, count), POP_OK);
  EXPECT_EQ(count, 3);
  ASSERT_EQ(Dele(connection_, 2), POP_OK);
  EXPECT_EQ(CloseConnection(connection_), POP_OK);
  EXPECT_EQ(server_->RemainingMessages("hanako"),
            (std::vector<std::string>{Message("one", 1, 10), Message("three", 1, 10)}));
  ASSERT_EQ(LogIn("hanako", "hanako-pw", state), POP_OK);
  ASSERT_EQ(Stat(connection_, count), POP_OK);
  EXPECT_EQ(count, 2);
}

TEST_F(Pop3DovecotTest, JapaneseMessageIsFetchedAndParsedToShiftJis) {
  int16_t state = 0;
  ASSERT_EQ(LogIn("taro", "taro-secret", state), POP_OK);
  BodyBuffer body;
  ASSERT_EQ(Top(connection_, 4, body), POP_OK);
  EXPECT_EQ(std::string(body.data()), japanese_);
  MailRecord record{};
  ShiftJisConverter converter;
  ParseMessage(body.data(), body.text_length, record, converter);
  // "こんにちは" (the encoded-word Subject) and the body's first line in CP932.
  EXPECT_STREQ(record.subject, "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd");
  EXPECT_STREQ(record.message_id, "<20050101090700.4711@example.jp>");
  // "こんにちは、山田です。"
  EXPECT_EQ(std::string(body.data()).substr(0, 22),
            "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\x81\x41\x8e\x52\x93\x63\x82\xc5\x82\xb7"
            "\x81\x42");
}

}  // namespace
}  // namespace zvrx
