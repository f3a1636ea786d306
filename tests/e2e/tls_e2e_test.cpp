// ZVRX as a real process against a Dovecot that requires TLS, its test
// authority trusted through SSL_CERT_FILE: a manual check deletes spam over
// TLS on one account and reports the refused certificate of another (code
// 135) without touching its mail; a transport changed with zvrxctl while the
// checker runs counts from its next check.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/checker_process.h"
#include "tests/support/corpus.h"
#include "tests/support/dovecot_fixture.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;
using test::CheckerProcess;
using test::DovecotServer;
using test::SettingsSide;

const std::string kDistribution = ZVRX_BINARY_DIR "/Installer Resources";
constexpr int kCheckMs = 60000;
constexpr int kStartMs = 15000;

using test::Corpus;

class TlsE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::is_directory(kDistribution)) << "build the delivered data first";
    ASSERT_TRUE(server_.StartWithTls(
        {{"taro", "taro-pw",
          {Corpus("ja-spam-15.eml"), Corpus("ja-ham-04.eml"), Corpus("en-spam-13.eml")}},
         {"ken", "ken-pw", {Corpus("en-spam-13.eml")}}},
        test::DovecotTls{}))
        << server_.error();
    // The checker started below inherits it.
    setenv("SSL_CERT_FILE", server_.CaFile().c_str(), 1);
  }
  void TearDown() override {
    unsetenv("SSL_CERT_FILE");
    if (HasFailure()) std::cerr << "Dovecot log:\n" << server_.Log();
  }
  void Ctl(std::vector<std::string> args) {
    const test::ProgramRun run = test::RunZvrxctl(prefix_.path(), args, {});
    ASSERT_EQ(run.status, 0) << args[0] << ": " << run.err;
  }

  test::TempPrefix prefix_;
  DovecotServer server_;
};

TEST_F(TlsE2eTest, ManualCheckOverTlsAndARefusedCertificateReported) {
  Ctl({"init", "--data", kDistribution});
  Ctl({"level", "1"});
  Ctl({"mode", "0"});
  Ctl({"options", "0x0010"});
  Ctl({"account", "1", DovecotServer::AccountAt("taro", "localhost", server_.tls_port()),
       "taro-pw"});
  Ctl({"tls", "1", "tls"});
  // The certificate names localhost, not this address.
  Ctl({"account", "2", DovecotServer::AccountAt("ken", "127.0.0.1", server_.port()), "ken-pw"});
  Ctl({"tls", "2", "starttls"});

  CheckerProcess checker(prefix_.path(), "");
  SettingsSide side;
  ASSERT_TRUE(side.WaitForBlock(kStartMs)) << checker.Output();
  side.LoadRecordsFromFiles();
  side.Deliver(true);
  ASSERT_TRUE(side.CollectUntil("300 3 ", kCheckMs)) << checker.Output();
  const std::vector<std::string> first = side.posts();
  // p2 keeps what the progress posts left in it.
  EXPECT_EQ(std::count_if(first.begin(), first.end(),
                          [](const std::string& post) {
                            return post.rfind("135 2 ", 0) == 0 && post.ends_with(" 0 2");
                          }),
            1)
      << ::testing::PrintToString(first);
  EXPECT_EQ(server_.RemainingMessages("taro"), std::vector<std::string>{Corpus("ja-ham-04.eml")});
  EXPECT_EQ(server_.RemainingMessages("ken").size(), 1u) << "nothing deleted without TLS";

  // Plain text, chosen knowingly for the server on this machine, from the
  // next check on; the running checker needs no new delivery for it.
  Ctl({"tls", "2", "plain"});
  side.posts().clear();
  side.Deliver(true);
  ASSERT_TRUE(side.CollectUntil("300 3 ", kCheckMs)) << checker.Output();
  const std::vector<std::string> second = side.posts();
  EXPECT_EQ(std::count_if(second.begin(), second.end(),
                          [](const std::string& post) { return post.rfind("135", 0) == 0; }),
            0)
      << ::testing::PrintToString(second);
  EXPECT_TRUE(server_.RemainingMessages("ken").empty());
  EXPECT_EQ(checker.Terminate(), 0);
}

}  // namespace
}  // namespace zvrx
