// The POP3 client against scripted streams: commands on the wire, login
// choice by APOP state, and the result of every reply.
#include "checker/core/pop3_client.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/fake_clock.h"
#include "tests/support/fake_stream.h"

namespace zvrx {
namespace {

using Sends = std::vector<std::string>;
using test::FakeStreamFactory;
using test::FakeStreamScript;

constexpr char kRfcGreeting[] = "+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>\r\n";
constexpr char kPlainGreeting[] = "+OK POP3 server ready\r\n";

class Pop3ClientTest : public ::testing::Test {
 protected:
  Pop3ClientTest() : scoped_clock_(clock_) { connection_.make_stream = std::ref(factory_); }

  // A connection that is already logged in, for the commands after Login.
  std::shared_ptr<FakeStreamScript> LoggedIn() {
    auto script = factory_.Add();
    script->Reply(kRfcGreeting).Reply("+OK\r\n");
    int16_t state = 1;
    EXPECT_EQ(Login(connection_, "mrose@pop.example.jp", "tanstaaf", state), POP_OK);
    script->sends.clear();
    return script;
  }

  test::FakeClock clock_;
  test::ScopedClock scoped_clock_;
  FakeStreamFactory factory_;
  PopConnection connection_;
};

TEST(Pop3Account, SplitsAtTheFirstAtSignAndTakesAPortSuffix) {
  const std::string user66(66, 'u'), host66(66, 'h');
  struct Case {
    std::string account;
    PopResult result;
    const char* user;
    const char* host;
    int port;
  } cases[] = {
      {"taro@pop.example.jp", POP_OK, "taro", "pop.example.jp", 110},
      {"taro@127.0.0.1:11110", POP_OK, "taro", "127.0.0.1", 11110},
      {"taro@host:1", POP_OK, "taro", "host", 1},
      {"taro@host:65535", POP_OK, "taro", "host", 65535},
      {"a@b@c", POP_OK, "a", "b@c", 110},  // only the first '@' splits
      {"@host", POP_OK, "", "host", 110},
      {"taro", POP_NO_AT_SIGN, "", "", 110},
      {"", POP_NO_AT_SIGN, "", "", 110},
      {"taro@host:0", POP_NO_HOST, "", "", 110},
      {"taro@host:65536", POP_NO_HOST, "", "", 110},
      {"taro@host:99999999999", POP_NO_HOST, "", "", 110},
      {"taro@host:", POP_NO_HOST, "", "", 110},
      {"taro@host:11a", POP_NO_HOST, "", "", 110},
      {"taro@host:-1", POP_NO_HOST, "", "", 110},
      // Each part fits 67 bytes with its NUL; a longer one is refused, not cut.
      {user66 + "@h", POP_OK, user66.c_str(), "h", 110},
      {user66 + "u@h", POP_NO_AT_SIGN, "", "", 110},
      {"u@" + host66, POP_OK, "u", host66.c_str(), 110},
      {"u@" + host66 + "h", POP_NO_HOST, "", "", 110},
  };
  for (const Case& c : cases) {
    AccountParts parts;
    EXPECT_EQ(SplitAccount(c.account, parts), c.result) << c.account;
    EXPECT_STREQ(parts.user, c.user) << c.account;
    EXPECT_STREQ(parts.host, c.host) << c.account;
    EXPECT_EQ(parts.port, c.port) << c.account;
  }
}

TEST_F(Pop3ClientTest, UnusableAccountFailsBeforeAnyConnection) {
  for (const char* account : {"no-at-sign", "taro@host:0"}) {
    int16_t state = 0;
    EXPECT_NE(Login(connection_, account, "pw", state), POP_OK) << account;
    EXPECT_EQ(state, 0);
  }
  EXPECT_EQ(factory_.made(), 0);
}

TEST(Pop3ApopDigest, MatchesThePublishedExampleAndTakesTheFirstStamp) {
  char digest[33];
  ASSERT_TRUE(ApopDigest("POP3 server ready <1896.697170952@dbc.mtview.ca.us>", "tanstaaf",
                         digest));
  EXPECT_STREQ(digest, "c4c9334bac560ecc979e58001b3e22fb");
  // Only the first '<' and the first '>' behind it count.
  char other[33];
  ASSERT_TRUE(ApopDigest("> x <1896.697170952@dbc.mtview.ca.us> <later>", "tanstaaf", other));
  EXPECT_STREQ(other, digest);
  for (const char* no_stamp : {"ready", "ready <open", "ready > <"}) {
    EXPECT_FALSE(ApopDigest(no_stamp, "pw", digest)) << no_stamp;
  }
}

TEST_F(Pop3ClientTest, ApopLoginSendsTheDigestInOneCommand) {
  auto script = factory_.Add();
  script->Reply(kRfcGreeting).Reply("+OK maildrop has 1 message\r\n");
  int16_t state = 0;
  ASSERT_EQ(Login(connection_, "mrose@pop.example.jp:11110", "tanstaaf", state), POP_OK);
  EXPECT_EQ(state, 1);
  EXPECT_EQ(script->host, "pop.example.jp");
  EXPECT_EQ(script->port, 11110);
  EXPECT_EQ(script->sends, (Sends{"APOP mrose c4c9334bac560ecc979e58001b3e22fb\r\n"}));
  EXPECT_EQ(clock_.TotalSlept(), 0u);
}

// Login's choice of method by the account's APOP state.
TEST_F(Pop3ClientTest, LoginChoosesTheMethodByApopState) {
  struct Connection {
    std::vector<std::string> replies;
    Sends sends;
  };
  struct Case {
    const char* what;
    int16_t state_before;
    std::vector<Connection> connections;
    PopResult result;
    int16_t state_after;
  } cases[] = {
      {"state 0, no time stamp: USER/PASS without an APOP command", 0,
       {{{kPlainGreeting}, {"QUIT\r\n"}},
        {{kPlainGreeting, "+OK\r\n", "+OK Logged in.\r\n"}, {"USER taro\r\n", "PASS pw\r\n"}}},
       POP_OK, -1},
      {"state 0, APOP rejected, USER/PASS accepted: two connections", 0,
       {{{kRfcGreeting, "-ERR [AUTH] Authentication failed.\r\n"},
         {"APOP taro fee8bb0d4776c9e211f670be1263cbaa\r\n", "QUIT\r\n"}},
        {{kRfcGreeting, "+OK\r\n", "+OK Logged in.\r\n"}, {"USER taro\r\n", "PASS pw\r\n"}}},
       POP_OK, -1},
      {"state 0, both rejected: the state stays undetermined", 0,
       {{{kRfcGreeting, "-ERR\r\n"}, {"APOP taro fee8bb0d4776c9e211f670be1263cbaa\r\n", "QUIT\r\n"}},
        {{kPlainGreeting, "+OK\r\n", "-ERR [AUTH] Authentication failed.\r\n"},
         {"USER taro\r\n", "PASS pw\r\n", "QUIT\r\n"}}},
       POP_PASS_REJECTED, 0},
      {"state 1: an APOP rejection is returned, not retried", 1,
       {{{kRfcGreeting, "-ERR\r\n"}, {"APOP taro fee8bb0d4776c9e211f670be1263cbaa\r\n", "QUIT\r\n"}}},
       POP_USER_REJECTED, 1},
      {"state -1: USER/PASS at once, even with a time stamp", -1,
       {{{kRfcGreeting, "+OK\r\n", "+OK\r\n"}, {"USER taro\r\n", "PASS pw\r\n"}}}, POP_OK, -1},
      {"state -1: USER rejected", -1,
       {{{kPlainGreeting, "-ERR unknown\r\n"}, {"USER taro\r\n", "QUIT\r\n"}}},
       POP_USER_REJECTED, -1},
      {"state 0: a bad greeting is returned and decides nothing", 0,
       {{{"-ERR busy\r\n"}, {"QUIT\r\n"}}}, POP_BAD_GREETING, 0},
      {"state 0: no greeting at all", 0, {{{}, {"QUIT\r\n"}}}, POP_SOCKET_ERROR, 0},
  };
  for (const Case& c : cases) {
    FakeStreamFactory factory;
    std::vector<std::shared_ptr<FakeStreamScript>> scripts;
    for (const Connection& planned : c.connections) {
      scripts.push_back(factory.Add());
      for (const std::string& reply : planned.replies) scripts.back()->Reply(reply);
    }
    PopConnection connection;
    connection.make_stream = std::ref(factory);
    int16_t state = c.state_before;
    EXPECT_EQ(Login(connection, "taro@pop.example.jp", "pw", state), c.result) << c.what;
    EXPECT_EQ(state, c.state_after) << c.what;
    EXPECT_EQ(factory.made(), static_cast<int>(c.connections.size())) << c.what;
    for (size_t i = 0; i < scripts.size(); ++i) {
      EXPECT_EQ(scripts[i]->sends, c.connections[i].sends) << c.what << ", connection " << i;
    }
    // A failed login leaves no connection behind.
    EXPECT_EQ(connection.socket == nullptr, c.result != POP_OK) << c.what;
  }
}

TEST_F(Pop3ClientTest, ConnectFailuresAreReturnedAsTheyAre) {
  struct Case {
    platform::ConnectResult connect;
    PopResult result;
  } cases[] = {{platform::ConnectResult::kNoHost, POP_NO_HOST},
               {platform::ConnectResult::kFailed, POP_CONNECT_FAILED}};
  for (const Case& c : cases) {
    FakeStreamFactory factory;
    factory.Add()->connect_result = c.connect;
    PopConnection connection;
    connection.make_stream = std::ref(factory);
    int16_t state = 0;
    EXPECT_EQ(Login(connection, "taro@nowhere", "pw", state), c.result);
    EXPECT_EQ(state, 0);
    EXPECT_EQ(connection.socket, nullptr);
    EXPECT_EQ(StoredValue(c.result), c.result == POP_NO_HOST ? -4 : -1);
  }
}

TEST_F(Pop3ClientTest, PassReplyIsReadWholeAfterTheWait) {
  auto script = factory_.Add();
  script->Reply(kPlainGreeting).Reply("+OK\r\n").Reply("+OK Logged").Reply(" in.\r\n");
  script->Reply("+OK 2 320\r\n");
  int16_t state = -1;
  ASSERT_EQ(Login(connection_, "taro@host", "pw", state), POP_OK);
  EXPECT_EQ(clock_.TotalSlept(), 1000u);
  // The second half of the PASS reply was not left for STAT to read.
  int16_t count = 0;
  ASSERT_EQ(Stat(connection_, count), POP_OK);
  EXPECT_EQ(count, 2);
}

TEST_F(Pop3ClientTest, CommandThatDoesNotFitIsNotSent) {
  // "PASS " + password + CR LF fills the 128-byte command buffer at 121 bytes.
  for (size_t length : {121u, 122u, 400u}) {
    FakeStreamFactory factory;
    auto script = factory.Add();
    script->Reply(kPlainGreeting).Reply("+OK\r\n").Reply("+OK\r\n");
    PopConnection connection;
    connection.make_stream = std::ref(factory);
    int16_t state = -1;
    PopResult result = Login(connection, "taro@host", std::string(length, 'p'), state);
    if (length == 121) {
      EXPECT_EQ(result, POP_OK);
      EXPECT_EQ(script->sends.at(1).size(), 128u);
    } else {
      EXPECT_EQ(result, POP_SOCKET_ERROR) << length;
      EXPECT_EQ(script->sends, (Sends{"USER taro\r\n", "QUIT\r\n"})) << length;
    }
  }
}

TEST_F(Pop3ClientTest, WalkSendsEachCommandInOneCall) {
  auto script = LoggedIn();
  script->Reply("+OK 12 3742\r\n")
      .Reply("+OK 12 197\r\n")
      .Reply("+OK 12 1000000012.M12P1.fixture\r\n")
      .Reply("+OK\r\nSubject: hi\r\n\r\nbody\r\n.\r\n")
      .Reply("+OK Marked to be deleted.\r\n")
      .Reply("+OK Logging out.\r\n");
  int16_t count = 0;
  int32_t size = 0;
  char uidl[kUidlMaxLength + 1];
  BodyBuffer body;
  EXPECT_EQ(Stat(connection_, count), POP_OK);
  EXPECT_EQ(count, 12);
  EXPECT_EQ(List(connection_, 12, size), POP_OK);
  EXPECT_EQ(size, 197);
  EXPECT_EQ(Uidl(connection_, 12, uidl, sizeof uidl), POP_OK);
  EXPECT_STREQ(uidl, "1000000012.M12P1.fixture");
  EXPECT_EQ(Top(connection_, 12, body), POP_OK);
  EXPECT_STREQ(body.data(), "Subject: hi\r\n\r\nbody\r\n");
  EXPECT_EQ(Dele(connection_, 12), POP_OK);
  EXPECT_EQ(CloseConnection(connection_), POP_OK);
  EXPECT_EQ(script->sends, (Sends{"STAT\r\n", "LIST 12\r\n", "UIDL 12\r\n", "TOP 12 150\r\n",
                                  "DELE 12\r\n", "QUIT\r\n"}));
  EXPECT_TRUE(script->closed);
  EXPECT_EQ(connection_.socket, nullptr);
  // Closing again does nothing.
  EXPECT_EQ(CloseConnection(connection_), POP_OK);
  EXPECT_EQ(script->sends.size(), 6u);
}

TEST_F(Pop3ClientTest, NegativeRepliesGiveEachCommandsResult) {
  auto script = LoggedIn();
  script->Reply("-ERR\r\n").Reply("-ERR There's no message 9.\r\n").Reply("-ERR\r\n");
  script->Reply("-ERR\r\nstray").Reply("-ERR Message is deleted.\r\n").Reply("-ERR\r\n");
  int16_t count = 5;
  int32_t size = 5;
  char uidl[kUidlMaxLength + 1] = "old";
  BodyBuffer body;
  EXPECT_EQ(Stat(connection_, count), POP_COMMAND_FAILED);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(List(connection_, 9, size), POP_OK);  // a refused LIST is size 0, not a failure
  EXPECT_EQ(size, 0);
  EXPECT_EQ(Uidl(connection_, 9, uidl, sizeof uidl), POP_OK);
  EXPECT_STREQ(uidl, "");
  EXPECT_EQ(Top(connection_, 9, body), POP_COMMAND_FAILED);
  EXPECT_EQ(connection_.carried.count, 0);
  EXPECT_EQ(Dele(connection_, 9), POP_COMMAND_FAILED);
  EXPECT_EQ(CloseConnection(connection_), POP_OK);  // even when QUIT is refused
}

TEST_F(Pop3ClientTest, UidlIsCutAt70AndEndsAtBytesOutsidePrintableAscii) {
  struct Case {
    std::string reply;
    std::string uidl;
  } cases[] = {
      {"+OK 1 " + std::string(80, 'u') + "\r\n", std::string(70, 'u')},
      {"+OK 1 " + std::string(70, 'u') + "\r\n", std::string(70, 'u')},
      {"+OK 1 abc\x80xyz\r\n", "abc"},
      {"+OK 1 abc\x7f!\r\n", "abc\x7f!"},  // 0x7F still counts
      {"+OK 1 abc def\r\n", "abc"},
      {"+OK 1\r\n", ""},
  };
  for (const Case& c : cases) {
    auto script = LoggedIn();
    script->Reply(c.reply);
    char uidl[kUidlMaxLength + 1];
    EXPECT_EQ(Uidl(connection_, 1, uidl, sizeof uidl), POP_OK);
    EXPECT_EQ(std::string(uidl), c.uidl) << c.reply;
    connection_.socket.reset();
  }
  // A smaller destination is never overrun.
  auto script = LoggedIn();
  script->Reply("+OK 1 abcdefgh\r\n");
  char small[4];
  EXPECT_EQ(Uidl(connection_, 1, small, sizeof small), POP_OK);
  EXPECT_STREQ(small, "abc");
}

TEST_F(Pop3ClientTest, SplitStatusLineCountsOnlyItsFirstSegmentOutsidePassAndTop) {
  auto script = LoggedIn();
  script->Reply("+OK 3").Reply(" 3742\r\n").Reply("+OK 2 200\r\n");
  int16_t count = 0;
  int32_t size = 0;
  ASSERT_EQ(Stat(connection_, count), POP_OK);
  EXPECT_EQ(count, 3);
  // LIST now reads the rest of the STAT reply.
  EXPECT_EQ(List(connection_, 3, size), POP_OK);
  EXPECT_EQ(size, 0);
}

TEST_F(Pop3ClientTest, SendOrReceiveFailureIsASocketError) {
  int16_t count = 0;
  int32_t size = 0;
  char uidl[kUidlMaxLength + 1];
  BodyBuffer body;
  std::vector<std::pair<const char*, std::function<PopResult()>>> commands = {
      {"STAT", [&] { return Stat(connection_, count); }},
      {"LIST", [&] { return List(connection_, 1, size); }},
      {"UIDL", [&] { return Uidl(connection_, 1, uidl, sizeof uidl); }},
      {"TOP", [&] { return Top(connection_, 1, body); }},
      {"DELE", [&] { return Dele(connection_, 1); }},
  };
  for (auto& [name, command] : commands) {
    LoggedIn()->fail_send_from = 0;
    EXPECT_EQ(command(), POP_SOCKET_ERROR) << name << " send";
    LoggedIn()->FailReceive();
    EXPECT_EQ(command(), POP_SOCKET_ERROR) << name << " receive";
    connection_.socket.reset();
    EXPECT_EQ(command(), POP_SOCKET_ERROR) << name << " without a connection";
  }
}

TEST_F(Pop3ClientTest, StatCountStaysWithinSixteenBits) {
  auto script = LoggedIn();
  script->Reply("+OK 40000 123456789\r\n");
  int16_t count = 0;
  ASSERT_EQ(Stat(connection_, count), POP_OK);
  EXPECT_EQ(count, 32767);
}

}  // namespace
}  // namespace zvrx
