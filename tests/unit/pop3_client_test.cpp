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
    script->receive_capacities.clear();
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
      // Nothing is awaited from a connection that failed: no QUIT.
      {"state 0: no greeting at all", 0, {{{}, {}}}, POP_SOCKET_ERROR, 0},
      {"state 0: a greeting that is no POP3 reply", 0, {{{"HTTP/1.1 400\r\n"}, {}}},
       POP_BAD_GREETING, 0},
      {"state -1: a USER reply that is no POP3 reply ends the session", -1,
       {{{kPlainGreeting, "OK\r\n"}, {"USER taro\r\n"}}}, POP_BAD_REPLY, -1},
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

// A server that never completes a reply holds a login no longer than one
// reply's deadline (120 s, counted from the command, the 1 s wait after
// PASS included), and after a time-out nothing more is sent: no QUIT.
TEST_F(Pop3ClientTest, SilentOrDrippingServerHoldsALoginOneDeadlineAtMost) {
  struct Piece {
    int delay_ms;
    std::string bytes;
  };
  std::vector<Piece> dripping_greeting;
  for (char c : std::string(kRfcGreeting)) dripping_greeting.push_back({10000, std::string(1, c)});
  struct Case {
    const char* what;
    int16_t state;
    std::vector<Piece> replies;
    PopResult result;
    uint64_t held_ms;
    Sends sends;
  } cases[] = {
      {"silence before the greeting", 0, {}, POP_TIMED_OUT, 120000, {}},
      {"a greeting byte every 10 s", 0, dripping_greeting, POP_TIMED_OUT, 120000, {}},
      {"silence after APOP", 1, {{0, kRfcGreeting}}, POP_TIMED_OUT, 120000,
       {"APOP taro fee8bb0d4776c9e211f670be1263cbaa\r\n"}},
      {"PASS answered 119 s after the command", -1,
       {{0, kPlainGreeting}, {0, "+OK\r\n"}, {118000, "+OK Logged in.\r\n"}}, POP_OK, 119000,
       {"USER taro\r\n", "PASS pw\r\n"}},
      {"PASS answered 121 s after the command", -1,
       {{0, kPlainGreeting}, {0, "+OK\r\n"}, {120000, "+OK Logged in.\r\n"}}, POP_TIMED_OUT,
       120000, {"USER taro\r\n", "PASS pw\r\n"}},
  };
  for (const Case& c : cases) {
    FakeStreamFactory factory;
    auto script = factory.Add();
    script->clock = &clock_;
    script->after_end = -1;  // silence once the replies are used up
    for (const Piece& piece : c.replies) script->After(piece.delay_ms, piece.bytes);
    PopConnection connection;
    connection.make_stream = std::ref(factory);
    int16_t state = c.state;
    const uint64_t start = clock_.TickCount();
    EXPECT_EQ(Login(connection, "taro@pop.example.jp", "pw", state), c.result) << c.what;
    EXPECT_EQ(clock_.TickCount() - start, c.held_ms) << c.what;
    EXPECT_EQ(script->sends, c.sends) << c.what;
    EXPECT_EQ(factory.made(), 1) << c.what;  // a time-out is no reason to try USER/PASS
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
  int64_t count = 0;
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
  int64_t count = 0;
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
  int64_t count = 5;
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

// Every status line is read up to its line end, however it arrives, so the
// next command's reply is never taken from the rest of this one.
TEST_F(Pop3ClientTest, SplitStatusLineIsReadWholeForEveryCommand) {
  auto script = LoggedIn();
  script->Reply("+OK 3").Reply(" 3742\r\n").Reply("+OK 2 2").Reply("00\r").Reply("\n");
  int64_t count = 0;
  int32_t size = 0;
  ASSERT_EQ(Stat(connection_, count), POP_OK);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(List(connection_, 2, size), POP_OK);
  EXPECT_EQ(size, 200);
  // Each receive asks only for the free rest of the 512-byte buffer.
  EXPECT_EQ(script->receive_capacities, (std::vector<int>{512, 507, 512, 505, 502}));
}

// A reply that breaks the session (no POP3 status, an over-long line, a
// second reply behind the first) leaves nothing to send: the next command
// fails at once and closing sends no QUIT, so the server undoes the
// session's deletions.
TEST_F(Pop3ClientTest, BrokenSessionSendsNothingMore) {
  struct Case {
    const char* what;
    std::string reply;
    PopResult result;
  } cases[] = {
      {"garbage with a line end", "garbage\r\n", POP_BAD_REPLY},
      {"700 bytes without a line end", std::string(700, 'g'), POP_BAD_REPLY},
      {"two replies at once", "+OK\r\n+OK\r\n", POP_BAD_REPLY},
      {"closed before the line end", "+OK 1 2", POP_SOCKET_ERROR},
  };
  for (const Case& c : cases) {
    auto script = LoggedIn();
    script->Reply(c.reply);
    EXPECT_EQ(Dele(connection_, 4), c.result) << c.what;
    EXPECT_TRUE(connection_.broken) << c.what;
    int32_t size = 0;
    EXPECT_EQ(List(connection_, 3, size), POP_SOCKET_ERROR) << c.what;
    EXPECT_EQ(Quit(connection_), POP_SOCKET_ERROR) << c.what;
    EXPECT_EQ(script->sends, (Sends{"DELE 4\r\n"})) << c.what;
    EXPECT_TRUE(script->closed) << c.what;
    EXPECT_FALSE(connection_.broken) << c.what;  // the next connection starts clean
  }
}

// Only QUIT's +OK commits the session.
TEST_F(Pop3ClientTest, QuitTellsWhetherTheServerCommitted) {
  struct Case {
    std::string reply;
    PopResult result;
  } cases[] = {
      {"+OK Logging out, messages deleted.\r\n", POP_OK},
      {"-ERR Some deleted messages not removed\r\n", POP_COMMAND_FAILED},
      {"", POP_SOCKET_ERROR},  // closed without a reply
  };
  for (const Case& c : cases) {
    auto script = LoggedIn();
    if (!c.reply.empty()) script->Reply(c.reply);
    EXPECT_EQ(Quit(connection_), c.result) << c.reply;
    EXPECT_EQ(script->sends, (Sends{"QUIT\r\n"})) << c.reply;
    EXPECT_EQ(connection_.socket, nullptr);
  }
  EXPECT_EQ(Quit(connection_), POP_SOCKET_ERROR);  // nothing to quit
}

TEST_F(Pop3ClientTest, SendOrReceiveFailureIsASocketError) {
  int64_t count = 0;
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

// The walk starts at the newest message, so STAT's count is kept whole,
// beyond 16 bits too; message numbers go out as large as they come.
TEST_F(Pop3ClientTest, StatCountIsKeptWholeAndNumbersGoOutWhole) {
  struct Case {
    const char* reply;
    int64_t count;
  } cases[] = {
      {"+OK 40000 123456789\r\n", 40000},
      {"+OK 1099511627776 0\r\n", int64_t{1} << 40},
      {"+OK 99999999999999999999999 0\r\n", kMaxMessageNumber},  // saturates
  };
  for (const Case& c : cases) {
    auto script = LoggedIn();
    script->Reply(c.reply).Reply("+OK\r\n");
    int64_t count = 0;
    ASSERT_EQ(Stat(connection_, count), POP_OK) << c.reply;
    EXPECT_EQ(count, c.count) << c.reply;
    EXPECT_EQ(Dele(connection_, count), POP_OK);
    EXPECT_EQ(script->sends.back(), "DELE " + std::to_string(c.count) + "\r\n");
    connection_.socket.reset();
  }
}

}  // namespace
}  // namespace zvrx
