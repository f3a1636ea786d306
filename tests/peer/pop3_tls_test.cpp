// POP3 over TLS against a real Dovecot that requires it (ssl = required),
// with a certificate authority the sandbox makes for the test and the test
// trusts through SSL_CERT_FILE: implicit TLS and STLS with APOP and with
// USER/PASS, a certificate for another name, one no authority vouches for,
// a server without TLS, and the whole check deleting spam over TLS, or
// changing nothing when the certificate is refused.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <iostream>
#include <string>
#include <vector>

#include "checker/core/check_cycle.h"
#include "checker/core/checker_state.h"
#include "checker/core/configuration.h"
#include "checker/core/pop3_client.h"
#include "platform/cp932.h"
#include "shared/extension_settings.h"
#include "shared/record_files.h"
#include "shared/records.h"
#include "shared/transfer_checker.h"
#include "tests/support/checker_machine.h"
#include "tests/support/corpus.h"
#include "tests/support/dovecot_fixture.h"
#include "tests/support/fake_clock.h"
#include "tests/support/process_runner.h"
#include "tests/support/settings_side_clock.h"
#include "tests/support/temp_prefix.h"
#include "tests/support/wait_until.h"

namespace zvrx {
namespace {

using test::DovecotServer;
using test::DovecotTls;
using test::DovecotUser;

using test::Corpus;

std::string Note(const std::string& subject) {
  return "From: hanako@example.jp\r\nTo: taro@example.jp\r\nSubject: " + subject +
         "\r\nMessage-Id: <" + subject + "@example.jp>\r\n\r\nbody\r\n";
}

// SSL_CERT_FILE for one test; OpenSSL reads it at every handshake.
class ScopedCertFile {
 public:
  explicit ScopedCertFile(const std::string& file) {
    if (const char* old = std::getenv("SSL_CERT_FILE")) old_ = old, had_ = true;
    if (file.empty()) {
      unsetenv("SSL_CERT_FILE");
    } else {
      setenv("SSL_CERT_FILE", file.c_str(), 1);
    }
  }
  ~ScopedCertFile() {
    if (had_) {
      setenv("SSL_CERT_FILE", old_.c_str(), 1);
    } else {
      unsetenv("SSL_CERT_FILE");
    }
  }

 private:
  std::string old_;
  bool had_ = false;
};

class Pop3TlsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::vector<DovecotUser> users = {
        {"taro", "taro-pw", {Note("one"), Note("two")}},
    };
    trusted_ = new DovecotServer;
    if (!trusted_->StartWithTls(users, DovecotTls{})) start_error_ += trusted_->error();
    self_signed_ = new DovecotServer;
    if (!self_signed_->StartWithTls(users, DovecotTls{.self_signed = true})) {
      start_error_ += self_signed_->error();
    }
    plain_ = new DovecotServer;
    if (!plain_->Start(users)) start_error_ += plain_->error();
  }
  static void TearDownTestSuite() {
    for (DovecotServer** server : {&trusted_, &self_signed_, &plain_}) {
      delete *server;
      *server = nullptr;
    }
  }
  void SetUp() override {
    // A peer test that cannot reach its peer fails; it is never skipped.
    ASSERT_TRUE(start_error_.empty()) << "Dovecot could not be started: " << start_error_;
  }
  void TearDown() override {
    if (HasFailure()) std::cerr << "Dovecot log:\n" << trusted_->Log() << self_signed_->Log();
  }

  static inline DovecotServer* trusted_ = nullptr;
  static inline DovecotServer* self_signed_ = nullptr;
  static inline DovecotServer* plain_ = nullptr;
  static inline std::string start_error_;
  test::FakeClock clock_;  // PASS's second passes at once
  test::ScopedClock scoped_clock_{clock_};
};

TEST_F(Pop3TlsTest, LogsInOverTlsOrRefusesBeforeSendingAnything) {
  enum Server { kTrusted, kSelfSigned, kPlain };
  enum Port { kStlsPort, kTlsPort };
  struct Case {
    const char* name;
    Server server;
    Port port;
    const char* host;
    TransportChoice choice;
    int16_t apop_state;  // 0: APOP first, -1: USER/PASS
    bool trust_ca;       // SSL_CERT_FILE names the test's authority
    PopResult result;
  } cases[] = {
      {"implicit TLS, APOP", kTrusted, kTlsPort, "localhost", TransportChoice::kTls, 0, true,
       POP_OK},
      {"implicit TLS, USER/PASS", kTrusted, kTlsPort, "localhost", TransportChoice::kTls, -1,
       true, POP_OK},
      {"STLS, APOP", kTrusted, kStlsPort, "localhost", TransportChoice::kStartTls, 0, true,
       POP_OK},
      {"STLS, USER/PASS", kTrusted, kStlsPort, "localhost", TransportChoice::kStartTls, -1, true,
       POP_OK},
      {"auto takes the STLS on offer", kTrusted, kStlsPort, "localhost", TransportChoice::kAuto,
       -1, true, POP_OK},
      // The certificate names localhost; the address is another name.
      {"implicit TLS to another name", kTrusted, kTlsPort, "127.0.0.1", TransportChoice::kTls, 0,
       true, POP_TLS_WRONG_HOST},
      {"STLS to another name", kTrusted, kStlsPort, "127.0.0.1", TransportChoice::kStartTls, -1,
       true, POP_TLS_WRONG_HOST},
      {"the system's store alone does not know the test authority", kTrusted, kTlsPort,
       "localhost", TransportChoice::kTls, 0, false, POP_TLS_UNTRUSTED},
      {"a self-signed certificate, implicit TLS", kSelfSigned, kTlsPort, "localhost",
       TransportChoice::kTls, 0, true, POP_TLS_UNTRUSTED},
      {"a self-signed certificate, STLS", kSelfSigned, kStlsPort, "localhost",
       TransportChoice::kAuto, -1, true, POP_TLS_UNTRUSTED},
      {"TLS to a port that speaks plain POP3", kTrusted, kStlsPort, "localhost",
       TransportChoice::kTls, 0, true, POP_TLS_FAILED},
      {"STLS required from a server without TLS", kPlain, kStlsPort, "localhost",
       TransportChoice::kStartTls, 0, true, POP_NO_STLS},
      // Dovecot counts a loopback connection as secured even under
      // ssl = required: plain, chosen knowingly, is the written POP3.
      {"plain to a server on this machine", kTrusted, kStlsPort, "localhost",
       TransportChoice::kPlain, -1, true, POP_OK},
      {"auto on this machine without TLS stays plain", kPlain, kStlsPort, "localhost",
       TransportChoice::kAuto, 0, true, POP_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DovecotServer& server =
        *(c.server == kTrusted ? trusted_ : c.server == kSelfSigned ? self_signed_ : plain_);
    ScopedCertFile cert_file(c.trust_ca ? trusted_->CaFile() : "");
    PopConnection connection;
    connection.transport = c.choice;
    int16_t apop_state = c.apop_state;
    const std::string account = DovecotServer::AccountAt(
        "taro", c.host, c.port == kTlsPort ? server.tls_port() : server.port());
    const PopResult result = Login(connection, account, "taro-pw", apop_state);
    EXPECT_EQ(result, c.result) << connection.tls_detail;
    if (result != POP_OK) {
      EXPECT_FALSE(connection.socket);
      continue;
    }
    EXPECT_EQ(connection.secure, c.choice != TransportChoice::kPlain && c.server != kPlain);
    if (c.apop_state == 0) {
      EXPECT_EQ(apop_state, 1) << "APOP worked";
    }
    // The session goes on through the same readers.
    int64_t count = 0;
    EXPECT_EQ(Stat(connection, count), POP_OK);
    EXPECT_EQ(count, 2);
    BodyBuffer body;
    EXPECT_EQ(Top(connection, 2, body), POP_OK);
    EXPECT_NE(std::string(body.data()).find("Subject: two"), std::string::npos);
    EXPECT_EQ(Quit(connection), POP_OK);
  }
}

// A server gone after QUIT: writing to it over TLS fails as on a plain
// socket, without the SIGPIPE that would end the checker.
TEST_F(Pop3TlsTest, WritingToAServerThatHasGoneFailsWithoutEndingTheProgram) {
  ScopedCertFile cert_file(trusted_->CaFile());
  auto stream = platform::NewTcpStream();
  ASSERT_EQ(stream->Connect("localhost", trusted_->tls_port()), platform::ConnectResult::kOk);
  std::string detail;
  ASSERT_EQ(stream->StartTls("localhost", &detail), platform::TlsResult::kOk) << detail;
  char reply[512];
  ASSERT_GT(stream->Receive(reply, sizeof reply), 0);
  const std::string quit = "QUIT\r\n";
  ASSERT_EQ(stream->Send(quit.data(), static_cast<int>(quit.size())), 6);
  ASSERT_GT(stream->Receive(reply, sizeof reply), 0);
  const std::string noop = "NOOP\r\n";
  EXPECT_TRUE(test::WaitUntil(
      [&] { return stream->Send(noop.data(), static_cast<int>(noop.size())) < 0; }, 1000))
      << "the server closed its side";
  stream->Close();
}

// The whole check over TLS, as the checker runs it: the transport comes from
// ZVRXExt.ini, spam is deleted, ham stays, the log and marker follow. With a
// certificate for another name the same check changes nothing at all and
// posts its own report in manual mode.
class TlsCheckTest : public test::DovecotCheckTest<TlsCheckTest> {
 public:
  static bool StartServer(DovecotServer& server) {
    return server.StartWithTls(
        {
            {"taro", "taro-pw",
             {Corpus("ja-spam-01.eml"), Corpus("ja-ham-01.eml"), Corpus("en-spam-02.eml"),
              Corpus("en-ham-03.eml")}},
            {"jiro", "jiro-pw", {Corpus("en-ham-04.eml"), Corpus("en-spam-13.eml")}},
        },
        DovecotTls{});
  }

 protected:
  void Configure(const std::string& account, const std::string& password,
                 const std::string& transport) {
    ASSERT_TRUE(test::ConfigureChecker(state_, 0, kOptManualReport, {{account, password}}));
    ASSERT_EQ(ChangeExtensionSettings({{kTransportKeys[0], transport}}), "");
    EXPECT_TRUE(LoadExtensionSettings().problems().empty());
  }

  ScopedCertFile cert_file_{server_ ? server_->CaFile() : ""};
};

TEST_F(TlsCheckTest, DeletesSpamOverImplicitTls) {
  Configure(DovecotServer::AccountAt("taro", "localhost", server_->tls_port()), "taro-pw", "tls");
  RunCheck(state_);
  EXPECT_EQ(state_.transport[0], TransportChoice::kTls);
  EXPECT_EQ(state_.counters.account_results[0], -2);
  EXPECT_EQ(state_.counters.examined, 4);
  EXPECT_EQ(state_.counters.deleted, 2);
  EXPECT_EQ(server_->RemainingMessages("taro"),
            (std::vector<std::string>{Corpus("ja-ham-01.eml"), Corpus("en-ham-03.eml")}));
  EXPECT_FALSE(DataFile("ZVRXLog").empty());
}

TEST_F(TlsCheckTest, CertificateForAnotherNameChangesNothing) {
  // jiro's spam is the newest message; over 127.0.0.1 the certificate for
  // localhost does not match.
  const std::string account = DovecotServer::AccountAt("jiro", "127.0.0.1", server_->port());
  Configure(account, "jiro-pw", "starttls");
  const std::string marker_name = platform::Cp932ToUtf8(MarkerFileName(account));
  RunCheck(state_);
  EXPECT_EQ(state_.counters.account_results[0], StoredValue(POP_TLS_WRONG_HOST));
  EXPECT_EQ(state_.counters.examined, 0);
  EXPECT_EQ(server_->RemainingMessages("jiro").size(), 2u);
  EXPECT_TRUE(DataFile("ZVRXLog").empty());
  EXPECT_TRUE(DataFile(marker_name).empty());
  bool reported = false;
  for (const std::string& post : clock_.Collect()) {
    reported = reported || post.rfind("135 1 ", 0) == 0;
  }
  EXPECT_TRUE(reported) << "the manual check reports the refused certificate";

  // The choice changed in the file counts from the next check on: plain,
  // chosen knowingly, reaches this machine's server and the spam goes.
  ASSERT_EQ(ChangeExtensionSettings({{kTransportKeys[0], "plain"}}), "");
  RunCheck(state_);
  EXPECT_EQ(state_.counters.account_results[0], -2);
  EXPECT_EQ(server_->RemainingMessages("jiro"), std::vector<std::string>{Corpus("en-ham-04.eml")});
}

// zvrxctl as a person would run it against a TLS-only server whose
// authority is in SSL_CERT_FILE: the dry run lists the messages over TLS;
// with a host name the certificate does not name, the check says so, exits
// 1 and changes nothing on the server or in the machine.
class TlsZvrxctlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.StartWithTls({{"saburo", "saburo-pw",
                                       {Corpus("ja-spam-01.eml"), Corpus("ja-ham-01.eml"),
                                        Corpus("en-spam-02.eml"), Corpus("en-ham-03.eml")}}},
                                     DovecotTls{}))
        << server_.error();
    cert_file_.emplace(server_.CaFile());
    ASSERT_EQ(test::RunZvrxctl(prefix_.path(),
                               {"init", "--data", ZVRX_BINARY_DIR "/Installer Resources"}, {})
                  .status,
              0);
  }
  DovecotServer server_;
  test::TempPrefix prefix_{false};
  std::optional<ScopedCertFile> cert_file_;
};

TEST_F(TlsZvrxctlTest, ChecksOverTlsAndRefusesAnotherHostName) {
  DovecotServer* server = &server_;

  namespace fs = std::filesystem;
  auto ctl = [&](std::vector<std::string> args) {
    return test::RunZvrxctl(prefix_.path(), std::move(args), {});
  };
  auto machine = [&] {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(prefix_.path()) / "drive_c")) {
      if (entry.is_regular_file()) files[entry.path().string()] = test::ReadHostFile(entry.path());
    }
    return files;
  };
  ASSERT_EQ(ctl({"level", "1"}).status, 0);
  ASSERT_EQ(ctl({"account", "1",
                 DovecotServer::AccountAt("saburo", "localhost", server->tls_port()), "saburo-pw"})
                .status,
            0);
  ASSERT_EQ(ctl({"tls", "1", "tls"}).status, 0);
  test::ProgramRun run = ctl({"check", "--dry-run"});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  for (const char* line : {"account 1: 4 messages on the server", "  message 4: would keep",
                           "  message 3: would delete", "  message 1: would delete"}) {
    EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
  }

  ASSERT_EQ(ctl({"account", "1",
                 DovecotServer::AccountAt("saburo", "127.0.0.1", server->tls_port()), "saburo-pw"})
                .status,
            0);
  const auto before = machine();
  run = ctl({"check"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("account 1: login failed: the server's certificate is for another host "
                         "name; nothing was sent"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("account 1: TLS: "), std::string::npos) << run.out;
  EXPECT_EQ(server->RemainingMessages("saburo").size(), 4u);
  EXPECT_EQ(machine(), before);
}

}  // namespace
}  // namespace zvrx
