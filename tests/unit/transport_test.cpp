// The transport of a POP3 connection: the policy as a table, the CAPA list,
// and the client's order of work over scripted streams (TLS before any
// part of the login, STLS only after CAPA, no fall-back to plain text).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "checker/core/pop3_client.h"
#include "checker/core/transport_policy.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_stream.h"

namespace zvrx {
namespace {

using platform::TlsResult;
using Choice = TransportChoice;
using Step = TransportStep;

TEST(TransportPolicy, ChoosesTlsStlsOrPlainByChoicePortOfferAndPlace) {
  struct Case {
    Choice choice;
    int port;
    bool stls_offered;
    bool loopback;
    bool starts_with_tls;
    bool asks_capabilities;
    Step step;  // after a plain greeting; unused when TLS comes first
  } cases[] = {
      // auto: TLS from the start on the port kept for it ...
      {Choice::kAuto, 995, false, false, true, false, Step::kStartTls},
      // ... otherwise STLS whenever the server offers it, also on this machine
      {Choice::kAuto, 110, true, false, false, true, Step::kStartTls},
      {Choice::kAuto, 110, true, true, false, true, Step::kStartTls},
      // plain text only while the password stays on this machine
      {Choice::kAuto, 110, false, true, false, true, Step::kStayPlain},
      {Choice::kAuto, 110, false, false, false, true, Step::kRefusePlain},
      {Choice::kAuto, 11110, false, false, false, true, Step::kRefusePlain},
      // tls: TLS from the start on any port, never CAPA in plain text
      {Choice::kTls, 110, false, false, true, false, Step::kStartTls},
      {Choice::kTls, 995, false, true, true, false, Step::kStartTls},
      // starttls: STLS or nothing, wherever the server is
      {Choice::kStartTls, 110, true, false, false, true, Step::kStartTls},
      {Choice::kStartTls, 995, true, false, false, true, Step::kStartTls},
      {Choice::kStartTls, 110, false, true, false, true, Step::kRefuseNoStls},
      {Choice::kStartTls, 110, false, false, false, true, Step::kRefuseNoStls},
      // plain: the written POP3, chosen knowingly; no CAPA, even on 995
      {Choice::kPlain, 110, true, false, false, false, Step::kStayPlain},
      {Choice::kPlain, 995, false, false, false, false, Step::kStayPlain},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(TransportWord(c.choice)) + " port " + std::to_string(c.port) +
                 (c.stls_offered ? " STLS" : "") + (c.loopback ? " loopback" : " remote"));
    EXPECT_EQ(StartsWithTls(c.choice, c.port), c.starts_with_tls);
    EXPECT_EQ(AsksCapabilities(c.choice, c.port), c.asks_capabilities);
    if (!c.starts_with_tls) {
      EXPECT_EQ(StepAfterGreeting(c.choice, c.stls_offered, c.loopback), c.step);
    }
  }
}

TEST(TransportPolicy, WordsReadInAnyCaseAndNothingElse) {
  EXPECT_EQ(ParseTransportWord("auto"), Choice::kAuto);
  EXPECT_EQ(ParseTransportWord("TLS"), Choice::kTls);
  EXPECT_EQ(ParseTransportWord("StartTLS"), Choice::kStartTls);
  EXPECT_EQ(ParseTransportWord("plain"), Choice::kPlain);
  for (const char* bad : {"", "ssl", "tls ", "starttls1", "none"}) {
    EXPECT_FALSE(ParseTransportWord(bad).has_value()) << bad;
  }
  for (Choice choice : {Choice::kAuto, Choice::kTls, Choice::kStartTls, Choice::kPlain}) {
    EXPECT_EQ(ParseTransportWord(TransportWord(choice)), choice);
  }
}

TEST(TransportPolicy, StlsIsACapabilityLineNotAWordAnywhere) {
  struct Case {
    const char* lines;
    bool offered;
  } cases[] = {
      {"TOP\r\nUIDL\r\nSTLS\r\nSASL PLAIN\r\n", true},
      {"stls\r\n", true},                      // capability names are case-blind
      {"STLS  \r\n", true},                    // blanks behind it
      {"STLS\n", true},                        // a bare LF
      {"TOP\r\nUIDL\r\n", false},
      {"X-STLS\r\n", false},
      {"STLSX\r\n", false},
      {"IMPLEMENTATION STLS-less\r\n", false},  // a word of another line
      {"SASL STLS\r\n", false},
      {"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CapabilitiesOfferStls(c.lines), c.offered) << c.lines;
  }
}

constexpr char kGreeting[] = "+OK ready\r\n";
constexpr char kApopGreeting[] = "+OK ready <4711.1@mail.example.jp>\r\n";
constexpr char kCapaWithStls[] = "+OK\r\nTOP\r\nUIDL\r\nSTLS\r\nUSER\r\n.\r\n";
constexpr char kCapaWithoutStls[] = "+OK\r\nTOP\r\nUIDL\r\nUSER\r\n.\r\n";

class TransportClientTest : public ::testing::Test {
 protected:
  TransportClientTest() : scoped_clock_(clock_) { connection_.make_stream = std::ref(factory_); }
  test::FakeClock clock_;
  test::ScopedClock scoped_clock_;
  test::FakeStreamFactory factory_;
  PopConnection connection_;
};

// Nothing of the login (name, password, digest) goes out before TLS runs,
// nor at all when the transport is refused.
TEST_F(TransportClientTest, LoginSendsCredentialsOnlyOverTheTransportChosen) {
  struct Case {
    const char* name;
    Choice choice;
    const char* host_port;
    bool loopback;
    TlsResult tls;
    std::vector<std::string> replies;
    PopResult result;
    std::vector<std::string> sends;
    int tls_after_sends;  // -1: TLS never started
    bool secure;
  } cases[] = {
      {"auto to a remote server with STLS", Choice::kAuto, "pop.example.jp", false, TlsResult::kOk,
       {kGreeting, kCapaWithStls, "+OK Begin TLS\r\n", "+OK\r\n", "+OK Logged in.\r\n"}, POP_OK,
       {"CAPA\r\n", "STLS\r\n", "USER taro\r\n", "PASS pw\r\n"}, 2, true},
      {"auto on 995: TLS before the greeting", Choice::kAuto, "pop.example.jp:995", false,
       TlsResult::kOk, {kGreeting, "+OK\r\n", "+OK Logged in.\r\n"}, POP_OK,
       {"USER taro\r\n", "PASS pw\r\n"}, 0, true},
      {"auto to a remote server without STLS", Choice::kAuto, "pop.example.jp", false,
       TlsResult::kOk, {kGreeting, kCapaWithoutStls, "+OK bye\r\n"}, POP_PLAIN_REFUSED,
       {"CAPA\r\n", "QUIT\r\n"}, -1, false},
      {"auto to a remote server that knows no CAPA", Choice::kAuto, "pop.example.jp", false,
       TlsResult::kOk, {kGreeting, "-ERR unknown command\r\n", "+OK bye\r\n"}, POP_PLAIN_REFUSED,
       {"CAPA\r\n", "QUIT\r\n"}, -1, false},
      {"auto on this machine without STLS", Choice::kAuto, "127.0.0.1:11110", true,
       TlsResult::kOk, {kGreeting, "-ERR unknown command\r\n", "+OK\r\n", "+OK Logged in.\r\n"},
       POP_OK, {"CAPA\r\n", "USER taro\r\n", "PASS pw\r\n"}, -1, false},
      {"tls on port 110", Choice::kTls, "pop.example.jp", false, TlsResult::kOk,
       {kGreeting, "+OK\r\n", "+OK Logged in.\r\n"}, POP_OK, {"USER taro\r\n", "PASS pw\r\n"}, 0,
       true},
      {"tls, certificate not trusted", Choice::kTls, "pop.example.jp", false,
       TlsResult::kUntrusted, {kGreeting}, POP_TLS_UNTRUSTED, {}, 0, false},
      {"tls, certificate for another host", Choice::kTls, "pop.example.jp", false,
       TlsResult::kWrongHost, {kGreeting}, POP_TLS_WRONG_HOST, {}, 0, false},
      {"tls over a stream without TLS", Choice::kTls, "pop.example.jp", false,
       TlsResult::kUnsupported, {kGreeting}, POP_TLS_FAILED, {}, 0, false},
      {"starttls, STLS not offered", Choice::kStartTls, "127.0.0.1", true, TlsResult::kOk,
       {kGreeting, kCapaWithoutStls, "+OK bye\r\n"}, POP_NO_STLS, {"CAPA\r\n", "QUIT\r\n"}, -1,
       false},
      {"starttls, STLS offered then refused", Choice::kStartTls, "pop.example.jp", false,
       TlsResult::kOk, {kGreeting, kCapaWithStls, "-ERR TLS not available\r\n", "+OK bye\r\n"},
       POP_NO_STLS, {"CAPA\r\n", "STLS\r\n", "QUIT\r\n"}, -1, false},
      // A failed handshake leaves no stream to say QUIT on.
      {"starttls, STLS offered then the handshake fails", Choice::kStartTls, "pop.example.jp",
       false, TlsResult::kFailed, {kGreeting, kCapaWithStls, "+OK Begin TLS\r\n"}, POP_TLS_FAILED,
       {"CAPA\r\n", "STLS\r\n"}, 2, false},
      // Plain text behind the STLS reply would be read as if TLS had sent it.
      {"starttls, bytes slipped in behind +OK", Choice::kStartTls, "pop.example.jp", false,
       TlsResult::kOk, {kGreeting, kCapaWithStls, "+OK Begin TLS\r\n+OK Logged in.\r\n"},
       POP_BAD_REPLY, {"CAPA\r\n", "STLS\r\n"}, -1, false},
      {"plain to a remote server: the written POP3", Choice::kPlain, "pop.example.jp", false,
       TlsResult::kOk, {kGreeting, "+OK\r\n", "+OK Logged in.\r\n"}, POP_OK,
       {"USER taro\r\n", "PASS pw\r\n"}, -1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::FakeStreamFactory factory;
    connection_.make_stream = std::ref(factory);
    connection_.transport = c.choice;
    auto script = factory.Add();
    script->loopback = c.loopback;
    script->tls_result = c.tls;
    for (const std::string& reply : c.replies) script->Reply(reply);
    int16_t apop_state = -1;
    EXPECT_EQ(Login(connection_, std::string("taro@") + c.host_port, "pw", apop_state), c.result);
    EXPECT_EQ(script->sends, c.sends);
    EXPECT_EQ(script->tls_after_sends, c.tls_after_sends);
    EXPECT_EQ(connection_.secure, c.secure);
    if (c.tls_after_sends >= 0) {
      const std::string host(c.host_port);
      EXPECT_EQ(script->tls_host, host.substr(0, host.find(':')));
    }
    if (c.result != POP_OK) {
      EXPECT_FALSE(connection_.socket) << "a refused login closes";
    }
    CloseConnection(connection_);
  }
}

// APOP's time stamp comes from the greeting before STLS; the digest goes
// out only over TLS.
TEST_F(TransportClientTest, ApopAfterStlsUsesTheFirstGreeting) {
  connection_.transport = Choice::kStartTls;
  auto script = factory_.Add();
  script->loopback = false;
  script->tls_result = TlsResult::kOk;
  script->Reply(kApopGreeting).Reply(kCapaWithStls).Reply("+OK Begin TLS\r\n").Reply("+OK\r\n");
  int16_t apop_state = 0;
  ASSERT_EQ(Login(connection_, "taro@pop.example.jp", "pw", apop_state), POP_OK);
  EXPECT_EQ(apop_state, 1);
  char digest[33];
  ASSERT_TRUE(ApopDigest("ready <4711.1@mail.example.jp>", "pw", digest));
  EXPECT_EQ(script->sends, (std::vector<std::string>{"CAPA\r\n", "STLS\r\n",
                                                     "APOP taro " + std::string(digest) + "\r\n"}));
  EXPECT_EQ(script->tls_after_sends, 2);
}

// A refused login that APOP and USER/PASS both try costs two connections,
// each through TLS again.
TEST_F(TransportClientTest, SecondConnectionOfTheLoginIsSecuredToo) {
  connection_.transport = Choice::kTls;
  auto first = factory_.Add();
  first->tls_result = TlsResult::kOk;
  first->Reply(kApopGreeting).Reply("-ERR [AUTH] Authentication failed.\r\n").Reply("+OK\r\n");
  auto second = factory_.Add();
  second->tls_result = TlsResult::kOk;
  second->Reply(kApopGreeting).Reply("+OK\r\n").Reply("+OK Logged in.\r\n");
  int16_t apop_state = 0;
  ASSERT_EQ(Login(connection_, "taro@pop.example.jp", "pw", apop_state), POP_OK);
  EXPECT_EQ(apop_state, -1);
  EXPECT_EQ(first->tls_after_sends, 0);
  EXPECT_EQ(second->tls_after_sends, 0);
  EXPECT_EQ(second->sends, (std::vector<std::string>{"USER taro\r\n", "PASS pw\r\n"}));
}

}  // namespace
}  // namespace zvrx
