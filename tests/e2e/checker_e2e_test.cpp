// ZVRX as a real process against a real Dovecot: the check at start-up, the
// settings program's manual checks with their posts and result codes, a
// refused password, the single instance, the fatal message of a machine
// without basic settings, and SIGTERM.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "checker/analysis/marker.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/instance_lock.h"
#include "platform/unique_fd.h"
#include "shared/transfer_settings.h"
#include "tests/support/checker_process.h"
#include "tests/support/corpus.h"
#include "tests/support/dovecot_fixture.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_prefix.h"
#include "tests/support/wait_until.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;
using test::CheckerProcess;
using test::SettingsSide;

const std::string kDistribution = ZVRX_BINARY_DIR "/Installer Resources";
constexpr int kCheckMs = 60000;  // one check of a few messages, on a loaded machine
constexpr int kStartMs = 15000;

using test::Corpus;

// Verdicts known from the corpus: spam, legitimate, spam.
const std::string kSpamJa = "ja-spam-15.eml";
const std::string kHamJa = "ja-ham-04.eml";
const std::string kSpamEn = "en-spam-13.eml";

void SetField(char* field, size_t size, const std::string& text) {
  std::memset(field, 0, size);
  std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

class CheckerE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::is_directory(kDistribution)) << "build the delivered data first";
  }
  void TearDown() override {
    if (HasFailure()) std::cerr << "Dovecot log:\n" << server_.Log();
  }

  void StartServer(const std::vector<test::DovecotUser>& users) {
    ASSERT_TRUE(server_.Start(users)) << server_.error();
  }

  // zvrxctl on this machine; its exit status.
  int Ctl(std::vector<std::string> args) {
    const test::ProgramRun run = test::RunZvrxctl(prefix_.path(), std::move(args));
    ctl_out_ = run.out;
    std::cerr << run.err;  // its complaints, where a failed step shows them
    return run.status;
  }
  const std::string& CtlOutput() const { return ctl_out_; }

  void Install(int mode, const std::string& options) {
    ASSERT_EQ(Ctl({"init", "--data", kDistribution}), 0);
    ASSERT_EQ(Ctl({"level", "1"}), 0);
    ASSERT_EQ(Ctl({"mode", std::to_string(mode)}), 0);
    ASSERT_EQ(Ctl({"options", options}), 0);
    ASSERT_EQ(Ctl({"account", "1", server_.Account("taro"), "taro-pw"}), 0);
  }

  // Every post the checker makes, taken by a settings side that answers
  // at once, until the waiting status that ends a check.
  std::vector<std::string> PostsOfOneCheck(SettingsSide& side) {
    side.posts().clear();
    EXPECT_TRUE(side.CollectUntil("300 3 ", kCheckMs));
    return side.posts();
  }

  std::string WorkLog() {
    EXPECT_EQ(Ctl({"log"}), 0);
    return CtlOutput();
  }

  bool BlockExists() {
    SettingsRecords records;
    SettingsTransfer transfer(records);
    return ReadBlock(transfer);
  }

  test::TempPrefix prefix_;
  std::string ctl_out_;
  test::DovecotServer server_;
};

// Only code and status kind, for posts whose other arguments carry what the
// previous post left behind.
std::vector<std::string> Kinds(const std::vector<std::string>& posts) {
  std::vector<std::string> kinds;
  for (const std::string& post : posts) kinds.push_back(post.substr(0, post.find(' ', 4)));
  return kinds;
}

// Mode 1: one check at start-up deletes the spam, keeps the legitimate mail,
// logs and marks; the report dialog names the kept mail; a second start
// examines nothing already seen and shows nothing.
TEST_F(CheckerE2eTest, StartUpCheckDeletesSpamThenSecondStartFindsNothingNew) {
  StartServer({{"taro", "taro-pw", {Corpus(kSpamJa), Corpus(kHamJa), Corpus(kSpamEn)}}});
  Install(1, "0x0002");

  {
    CheckerProcess checker(prefix_.path(), "OK");
    ASSERT_TRUE(checker.started());
    SettingsSide side;
    ASSERT_TRUE(side.WaitForBlock(kStartMs)) << checker.Output();
    PostsOfOneCheck(side);
    EXPECT_EQ(checker.Transcript(),
              std::vector<std::string>{"dialog 110\t  Mail Zevrox\t1通のメールがサーバに届いています。"})
        << checker.Output();
    EXPECT_EQ(checker.Terminate(), 0);
  }
  EXPECT_EQ(server_.RemainingMessages("taro"), std::vector<std::string>{Corpus(kHamJa)});
  const std::string log = WorkLog();
  EXPECT_NE(log.find("英文医薬品広告を削除しました"), std::string::npos) << log;
  EXPECT_NE(log.find("副業勧誘メールを削除しました"), std::string::npos) << log;
  const std::string marker = test::ReadHostFile(
      prefix_.DataFolderHost() + "/" + MarkerFileName(server_.Account("taro")));
  EXPECT_NE(marker.find(test::DovecotServer::FixtureUidl(2)), std::string::npos);

  fs::remove(prefix_.path() + "/transcript");
  {
    CheckerProcess checker(prefix_.path(), "");
    SettingsSide side;
    ASSERT_TRUE(side.WaitForBlock(kStartMs)) << checker.Output();
    const auto posts = PostsOfOneCheck(side);
    // Looked up and logged in, then stopped at the kept message.
    EXPECT_EQ(Kinds(posts), (std::vector<std::string>{"300 4", "300 5", "300 3"}));
    EXPECT_TRUE(checker.Transcript().empty());
    EXPECT_EQ(checker.Terminate(), 0);
  }
  EXPECT_EQ(server_.RemainingMessages("taro"), std::vector<std::string>{Corpus(kHamJa)});
  EXPECT_EQ(WorkLog(), log);
}

// Mode 0: nothing happens until the settings program asks; each request
// gives the progress posts in order and one result code with the counts.
TEST_F(CheckerE2eTest, ManualChecksPostProgressAndEveryResultCode) {
  StartServer({{"taro", "taro-pw", {Corpus(kSpamJa), Corpus(kHamJa), Corpus(kSpamEn)}},
               {"jiro", "jiro-pw", {Corpus(kSpamEn), Corpus(kSpamJa)}},
               {"hana", "hana-pw", {Corpus(kHamJa)}}});
  // Report manual checks (bit 4) and start the mail program after them (bit 8).
  Install(0, "0x0110");
  const std::string started = prefix_.path() + "/mailer-started";
  const std::string mailer = prefix_.path() + "/mailer";
  test::WriteHostFile(mailer, "#!/bin/sh\necho started >> '" + started + "'\n");
  chmod(mailer.c_str(), 0755);

  CheckerProcess checker(prefix_.path(), "");
  SettingsSide side;
  ASSERT_TRUE(side.WaitForBlock(kStartMs)) << checker.Output();
  side.LoadRecordsFromFiles();
  MailerSettings& mailer_record = side.records().mailer;
  SetField(mailer_record.mailer_path, sizeof mailer_record.mailer_path,
           platform::WindowsPath(mailer));
  BasicSettings& basic = side.records().basic;

  // Mode 0 checks nothing by itself.
  EXPECT_FALSE(side.CollectUntil("300 ", 2500));

  // 210: new mail remains and the mail program may start; the user says yes.
  side.Deliver(true);
  ASSERT_TRUE(side.CollectUntil("210 ", kCheckMs)) << checker.Output();
  side.Answer(true);
  ASSERT_TRUE(side.CollectUntil("300 3 ", kCheckMs));
  EXPECT_EQ(side.posts(), (std::vector<std::string>{
                              "300 4 0 0 1",  // looking up account 1
                              "300 5 3 1 1", "300 6 3 1 1",  // newest first
                              "300 5 3 2 1", "300 6 3 2 1",
                              "300 5 3 3 1", "300 6 3 3 1",
                              "210 0 1 3 2",  // kept 1, examined 3, deleted 2
                              "5 1 1 3 2",    // the answer, left in the block once read
                              "300 3 1 3 2"}));
  EXPECT_TRUE(test::WaitUntil([&] { return fs::exists(started); }, 5000, 100))
      << "the mail program was not started after yes";
  EXPECT_EQ(server_.RemainingMessages("taro"), std::vector<std::string>{Corpus(kHamJa)});

  // 220: the same mailbox again holds nothing new.
  side.posts().clear();
  side.Deliver(true);
  ASSERT_TRUE(side.CollectUntil("300 3 ", kCheckMs));
  EXPECT_EQ(Kinds(side.posts()), (std::vector<std::string>{"300 4", "300 5", "220 0", "300 3"}));
  EXPECT_NE(std::find(side.posts().begin(), side.posts().end(), "220 0 0 0 0"), side.posts().end());

  // 221: everything examined was deleted; no mail program, whatever bit 8 says.
  fs::remove(started);
  SetField(basic.accounts[0], sizeof basic.accounts[0], server_.Account("jiro"));
  SetField(basic.passwords[0], sizeof basic.passwords[0], "jiro-pw");
  side.posts().clear();
  side.Deliver(true);
  ASSERT_TRUE(side.CollectUntil("300 3 ", kCheckMs));
  EXPECT_NE(std::find(side.posts().begin(), side.posts().end(), "221 0 0 2 2"), side.posts().end())
      << ::testing::PrintToString(side.posts());
  EXPECT_TRUE(server_.RemainingMessages("jiro").empty());

  // 222: new mail remains, but the mail program is not to be started.
  SetField(basic.accounts[0], sizeof basic.accounts[0], server_.Account("hana"));
  SetField(basic.passwords[0], sizeof basic.passwords[0], "hana-pw");
  side.records().options.option_bits = 0x0010;
  side.posts().clear();
  side.Deliver(true);
  ASSERT_TRUE(side.CollectUntil("300 3 ", kCheckMs));
  EXPECT_NE(std::find(side.posts().begin(), side.posts().end(), "222 0 1 1 0"), side.posts().end())
      << ::testing::PrintToString(side.posts());
  EXPECT_FALSE(fs::exists(started));

  EXPECT_EQ(checker.Terminate(), 0);
  EXPECT_TRUE(checker.Transcript().empty()) << "a manual check shows no dialog of its own";
}

// A refused password is posted with its account number; the next account
// is still checked, and the whole check still gets its result code.
TEST_F(CheckerE2eTest, RefusedPasswordIsPostedAndTheNextAccountIsChecked) {
  StartServer({{"taro", "taro-pw", {Corpus(kHamJa)}}, {"ken", "ken-pw", {Corpus(kSpamEn)}}});
  Install(0, "0x0010");
  ASSERT_EQ(Ctl({"account", "1", server_.Account("taro"), "wrong-pw"}), 0);
  ASSERT_EQ(Ctl({"account", "2", server_.Account("ken"), "ken-pw"}), 0);

  CheckerProcess checker(prefix_.path(), "");
  SettingsSide side;
  ASSERT_TRUE(side.WaitForBlock(kStartMs)) << checker.Output();
  side.LoadRecordsFromFiles();
  side.Deliver(true);
  ASSERT_TRUE(side.CollectUntil("300 3 ", kCheckMs)) << checker.Output();
  const auto& posts = side.posts();
  EXPECT_EQ(Kinds(posts), (std::vector<std::string>{"300 4", "133 1", "300 4", "300 5", "300 6",
                                                    "221 0", "300 3"}))
      << ::testing::PrintToString(posts);
  EXPECT_NE(std::find(posts.begin(), posts.end(), "133 1 0 0 1"), posts.end());
  EXPECT_NE(std::find(posts.begin(), posts.end(), "221 0 0 1 1"), posts.end());
  EXPECT_TRUE(server_.RemainingMessages("ken").empty());
  EXPECT_EQ(server_.RemainingMessages("taro"), std::vector<std::string>{Corpus(kHamJa)});
  EXPECT_EQ(checker.Terminate(), 0);
}

// One checker per machine: a second start ends at once and leaves the
// first alone; SIGTERM then ends the first in order, its block and its
// window gone.
TEST_F(CheckerE2eTest, SecondStartEndsAtOnceAndSigtermRemovesTheBlock) {
  ASSERT_EQ(Ctl({"init", "--data", kDistribution}), 0);
  ASSERT_EQ(Ctl({"account", "1", "nobody@127.0.0.1:1", "pw"}), 0);
  ASSERT_EQ(Ctl({"mode", "0"}), 0);

  CheckerProcess first(prefix_.path(), "");
  SettingsSide side;
  ASSERT_TRUE(side.WaitForBlock(kStartMs)) << first.Output();

  CheckerProcess second(prefix_.path(), "");
  EXPECT_EQ(second.Wait(kStartMs), 0);
  EXPECT_EQ(first.Wait(0), -1) << "the first checker must keep running";
  EXPECT_TRUE(BlockExists());

  EXPECT_EQ(first.Terminate(), 0) << first.Output();
  EXPECT_FALSE(BlockExists());
  EXPECT_FALSE(platform::InstanceLock::IsHeld("MailZevrox_Class", "Mail Zevrox"));
  EXPECT_TRUE(first.Transcript().empty());
}

// A server that takes the connection and never greets holds the worker in a
// receive; SIGTERM must still end the checker soon and remove its block.
TEST_F(CheckerE2eTest, SigtermEndsTheCheckerWhileTheWorkerWaitsForAServer) {
  const platform::UniqueFd listener(socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener.get(), 4), 0);
  ASSERT_EQ(getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length), 0);
  const std::string account = "taro@127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  ASSERT_EQ(Ctl({"init", "--data", kDistribution}), 0);
  ASSERT_EQ(Ctl({"account", "1", account, "pw"}), 0);
  ASSERT_EQ(Ctl({"mode", "1"}), 0);

  CheckerProcess checker(prefix_.path(), "");
  SettingsSide side;
  ASSERT_TRUE(side.WaitForBlock(kStartMs)) << checker.Output();
  ASSERT_TRUE(side.CollectUntil("300 4 ", kStartMs)) << "the check did not start";
  platform::Sleep(500);  // into the wait for the greeting
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(checker.Terminate(30000), 0) << checker.Output();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(15));
  EXPECT_FALSE(BlockExists());
  EXPECT_FALSE(platform::InstanceLock::IsHeld("MailZevrox_Class", "Mail Zevrox"));
}

// Without "ZVmi128" the checker posts 129 for a running settings program,
// then shows fatal message 5; it ends when asked even while the box waits.
TEST_F(CheckerE2eTest, MissingBasicSettingsPosts129ThenShowsFatalMessageFive) {
  ASSERT_EQ(Ctl({"init", "--data", kDistribution}), 0);
  fs::remove(prefix_.DataFolderHost() + "/ZVmi128");

  CheckerProcess checker(prefix_.path(), "");
  ASSERT_TRUE(checker.WaitForTranscript("messagebox", kStartMs)) << checker.Output();
  EXPECT_EQ(checker.Transcript(),
            std::vector<std::string>{"messagebox\tMailZevrox\tMail Zevrox\\n基本設定が行われていま"
                                     "せん。\\nインストール後には必ず基本設定を行ってください。\\n"});
  // The post came first and still waits in the block.
  SettingsRecords records;
  SettingsTransfer transfer(records);
  ASSERT_TRUE(ReadBlock(transfer));
  EXPECT_EQ(transfer.local.code, kTranNoBasicSettings);

  EXPECT_EQ(checker.Terminate(), 1) << checker.Output();
  EXPECT_FALSE(BlockExists());
}

// With a scripted OK the fatal box closes and the checker ends by itself.
TEST_F(CheckerE2eTest, FatalMessageEndsTheCheckerOnceConfirmed) {
  ASSERT_EQ(Ctl({"init", "--data", kDistribution}), 0);
  fs::remove(prefix_.DataFolderHost() + "/ZVmi128");
  CheckerProcess checker(prefix_.path(), "OK");
  EXPECT_EQ(checker.Wait(kStartMs), 1) << checker.Output();
  EXPECT_EQ(checker.Transcript().size(), 1u);
  EXPECT_FALSE(platform::InstanceLock::IsHeld("MailZevrox_Class", "Mail Zevrox"));
}

}  // namespace
}  // namespace zvrx
