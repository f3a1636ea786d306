// The POP3 client over real loopback TCP against a scripted server: the
// faults that depend on how segments arrive, on drops and on silence.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "checker/core/pop3_client.h"
#include "platform/socket_stream.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_pop3_server.h"

namespace zvrx {
namespace {

using test::CloseNow;
using test::ExpectLine;
using test::FakePop3Script;
using test::FakePop3Server;
using test::Hang;
using test::Pause;
using test::SendBytes;
using Lines = std::vector<std::string>;

constexpr char kStampGreeting[] = "+OK ready <4711.1@fake>\r\n";
constexpr int kSegmentGapMs = 60;  // long enough for two segments to arrive apart

class Pop3FakeServerTest : public ::testing::Test {
 protected:
  Pop3FakeServerTest() : scoped_clock_(clock_) {
    connection_.make_stream = [] { return platform::NewTcpStream(5000, receive_timeout_ms); };
  }
  ~Pop3FakeServerTest() override { CloseConnection(connection_); }

  // Greeting, USER and PASS accepted.
  static FakePop3Script UserPassLogin() {
    return {SendBytes("+OK ready\r\n"), ExpectLine(), SendBytes("+OK\r\n"), ExpectLine(),
            SendBytes("+OK Logged in.\r\n")};
  }
  PopResult LoginUserPass(const FakePop3Server& server) {
    int16_t state = -1;
    return Login(connection_, "taro@" + server.HostAndPort(), "pw", state);
  }

  static inline int receive_timeout_ms = 5000;
  test::FakeClock clock_;
  test::ScopedClock scoped_clock_;
  PopConnection connection_;
};

TEST_F(Pop3FakeServerTest, SplitStatusLinesAreReadWholeForEveryCommand) {
  FakePop3Script script = {
      SendBytes("+OK re"), Pause(kSegmentGapMs), SendBytes("ady\r\n"),
      ExpectLine(), SendBytes("+OK\r\n"),
      ExpectLine(), SendBytes("+OK Logged"), Pause(kSegmentGapMs), SendBytes(" in.\r\n"),
      ExpectLine(), SendBytes("+OK"), Pause(kSegmentGapMs),
      SendBytes(" top follows\r\nSubject: split\r\n\r\nbody\r\n.\r\n"),
      ExpectLine(), SendBytes("+OK 3"), Pause(kSegmentGapMs), SendBytes(" 3742\r\n"),
      ExpectLine(), SendBytes("+OK 3 2"), Pause(kSegmentGapMs), SendBytes("00\r\n"),
      ExpectLine(), SendBytes("+OK\r"), Pause(kSegmentGapMs), SendBytes("\n")};
  FakePop3Server server({script});
  ASSERT_EQ(LoginUserPass(server), POP_OK);
  BodyBuffer body;
  ASSERT_EQ(Top(connection_, 1, body), POP_OK);
  EXPECT_STREQ(body.data(), "Subject: split\r\n\r\nbody\r\n");
  int64_t count = 0;
  ASSERT_EQ(Stat(connection_, count), POP_OK);
  EXPECT_EQ(count, 3);
  int32_t size = -1;
  EXPECT_EQ(List(connection_, 3, size), POP_OK);
  EXPECT_EQ(size, 200);  // not the rest of the STAT reply
  EXPECT_EQ(Quit(connection_), POP_OK);
  EXPECT_EQ(server.Lines(),
            (std::vector<Lines>{{"USER taro", "PASS pw", "TOP 1 150", "STAT", "LIST 3", "QUIT"}}));
}

TEST_F(Pop3FakeServerTest, CutTopIsDrainedSoTheNextReplyIsRight) {
  std::string top;
  for (int i = 0; top.size() < 30 * 1024; ++i) top += "Line " + std::to_string(i) + " of a long message\r\n";
  FakePop3Script script = UserPassLogin();
  script.insert(script.end(), {ExpectLine(), SendBytes("+OK\r\n" + top + ".\r\n"), ExpectLine(),
                               SendBytes("+OK 2 1000000002.M2P1.fixture\r\n"), ExpectLine(),
                               SendBytes("+OK\r\n")});
  FakePop3Server server({script});
  ASSERT_EQ(LoginUserPass(server), POP_OK);
  BodyBuffer body;
  ASSERT_EQ(Top(connection_, 2, body), POP_OK);
  EXPECT_EQ(std::string(body.data()), top.substr(0, 18902));
  EXPECT_EQ(body.text_length, 18901);
  char uidl[kUidlMaxLength + 1];
  ASSERT_EQ(Uidl(connection_, 2, uidl, sizeof uidl), POP_OK);
  EXPECT_STREQ(uidl, "1000000002.M2P1.fixture");
}

TEST_F(Pop3FakeServerTest, OddListAndUidlRepliesOnTheWire) {
  FakePop3Script script = UserPassLogin();
  script.insert(script.end(),
                {ExpectLine(), SendBytes("-ERR There's no message 9.\r\n"), ExpectLine(),
                 SendBytes("+OK 9 " + std::string(90, 'U') + "\r\n"), ExpectLine(),
                 SendBytes("+OK 8 ab\xe3\x81\x82z\r\n"), ExpectLine(), SendBytes("+OK\r\n")});
  FakePop3Server server({script});
  ASSERT_EQ(LoginUserPass(server), POP_OK);
  int32_t size = -1;
  EXPECT_EQ(List(connection_, 9, size), POP_OK);
  EXPECT_EQ(size, 0);
  char uidl[kUidlMaxLength + 1];
  EXPECT_EQ(Uidl(connection_, 9, uidl, sizeof uidl), POP_OK);
  EXPECT_EQ(std::string(uidl), std::string(70, 'U'));
  EXPECT_EQ(Uidl(connection_, 8, uidl, sizeof uidl), POP_OK);
  EXPECT_STREQ(uidl, "ab");
}

TEST_F(Pop3FakeServerTest, ConnectionDroppedMidTopIsClosed) {
  FakePop3Script script = UserPassLogin();
  script.insert(script.end(), {ExpectLine(), SendBytes("+OK\r\nSubject: cut off\r\n\r\nhal"),
                               Pause(kSegmentGapMs), CloseNow()});
  FakePop3Server server({script});
  ASSERT_EQ(LoginUserPass(server), POP_OK);
  BodyBuffer body;
  EXPECT_EQ(Top(connection_, 1, body), POP_CLOSED);
  EXPECT_EQ(StoredValue(POP_CLOSED), 0);
}

TEST_F(Pop3FakeServerTest, ServerThatStopsAnsweringEndsWithASocketError) {
  receive_timeout_ms = 300;
  connection_.make_stream = [] { return platform::NewTcpStream(5000, receive_timeout_ms); };
  // Silent after the status line of TOP, and silent after STAT.
  FakePop3Script in_top = UserPassLogin();
  in_top.insert(in_top.end(), {ExpectLine(), SendBytes("+OK\r\nSubject: x\r\n"), Hang()});
  FakePop3Script in_stat = UserPassLogin();
  in_stat.insert(in_stat.end(), {ExpectLine(), Hang()});
  {
    FakePop3Server server({in_top});
    ASSERT_EQ(LoginUserPass(server), POP_OK);
    BodyBuffer body;
    EXPECT_EQ(Top(connection_, 1, body), POP_SOCKET_ERROR);
    CloseConnection(connection_);
  }
  {
    FakePop3Server server({in_stat});
    ASSERT_EQ(LoginUserPass(server), POP_OK);
    int64_t count = 0;
    EXPECT_EQ(Stat(connection_, count), POP_SOCKET_ERROR);  // the stream's own time-out
    CloseConnection(connection_);
  }
  receive_timeout_ms = 5000;
}

// The reply readers hand each receive what is left of the reply's deadline;
// on a real socket that must shorten the wait below the stream's own
// time-out, and never lengthen it past it.
TEST_F(Pop3FakeServerTest, ReceiveWaitsOnlyWhatIsLeftOfTheDeadline) {
  FakePop3Server server({{Hang()}});  // a second connection waits unaccepted
  struct Case {
    int stream_timeout_ms;
    int asked_ms;
    int waits_at_least_ms;
    int waits_less_than_ms;
  } cases[] = {{5000, 150, 140, 2000}, {150, 60000, 140, 2000}};
  for (const Case& c : cases) {
    auto stream = platform::NewTcpStream(5000, c.stream_timeout_ms);
    ASSERT_EQ(stream->Connect("127.0.0.1", server.port()), platform::ConnectResult::kOk);
    stream->SetReceiveTimeout(c.asked_ms);
    const auto start = std::chrono::steady_clock::now();
    char byte;
    EXPECT_EQ(stream->Receive(&byte, 1), -1);
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
    EXPECT_GE(waited, c.waits_at_least_ms) << c.asked_ms;
    EXPECT_LT(waited, c.waits_less_than_ms) << c.asked_ms;
    stream->Close();
  }
}

TEST_F(Pop3FakeServerTest, GreetingWithoutTimeStampSwitchesToUserPassWithoutApop) {
  FakePop3Script first = {SendBytes("+OK ready\r\n"), ExpectLine(), SendBytes("+OK\r\n")};
  FakePop3Server server({first, UserPassLogin()});
  int16_t state = 0;
  ASSERT_EQ(Login(connection_, "taro@" + server.HostAndPort(), "pw", state), POP_OK);
  EXPECT_EQ(state, -1);
  EXPECT_EQ(server.Lines(), (std::vector<Lines>{{"QUIT"}, {"USER taro", "PASS pw"}}));
}

TEST_F(Pop3FakeServerTest, ApopRejectedCostsTwoConnectionsOnTheFirstCheckOnly) {
  FakePop3Script apop_refused = {SendBytes(kStampGreeting), ExpectLine(),
                                 SendBytes("-ERR [AUTH] Authentication failed.\r\n"),
                                 ExpectLine(), SendBytes("+OK\r\n")};
  FakePop3Script with_quit = UserPassLogin();
  with_quit.insert(with_quit.end(), {ExpectLine(), SendBytes("+OK\r\n")});
  FakePop3Server server({apop_refused, with_quit, with_quit});
  int16_t state = 0;
  std::string account = "taro@" + server.HostAndPort();
  ASSERT_EQ(Login(connection_, account, "pw", state), POP_OK);
  EXPECT_EQ(state, -1);
  CloseConnection(connection_);
  ASSERT_EQ(Login(connection_, account, "pw", state), POP_OK);  // the next check
  CloseConnection(connection_);
  EXPECT_EQ(server.Accepted(), 3);
  std::vector<Lines> lines = server.Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].at(0).substr(0, 10), "APOP taro ");
  EXPECT_EQ(lines[1], (Lines{"USER taro", "PASS pw", "QUIT"}));
  EXPECT_EQ(lines[2], (Lines{"USER taro", "PASS pw", "QUIT"}));
}

TEST_F(Pop3FakeServerTest, RefusedConnectionIsConnectFailed) {
  int port;
  {
    FakePop3Server server({});
    port = server.port();
  }
  int16_t state = 0;
  EXPECT_EQ(Login(connection_, "taro@127.0.0.1:" + std::to_string(port), "pw", state),
            POP_CONNECT_FAILED);
  EXPECT_EQ(connection_.socket, nullptr);
}

}  // namespace
}  // namespace zvrx
