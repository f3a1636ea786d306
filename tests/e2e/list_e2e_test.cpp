// A rejection list saved on its page in MailZevrox (a real process, driven
// through its control socket) reaches a running ZVRX, which judges the next
// check by it: the sender it names is deleted on a real Dovecot.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shared/list_files.h"
#include "shared/transfer_settings.h"
#include "tests/support/checker_process.h"
#include "tests/support/control_requests.h"
#include "tests/support/dovecot_fixture.h"
#include "tests/support/process_runner.h"
#include "tests/support/settings_process.h"
#include "tests/support/temp_prefix.h"
#include "tests/support/wait_until.h"

namespace zvrx {
namespace {

const std::string kDistribution = ZVRX_BINARY_DIR "/Installer Resources";
constexpr int kStepMs = 50;
constexpr int kStartMs = 20000;
constexpr int kCheckMs = 60000;  // one check of two messages, on a loaded machine

std::string Mail(const std::string& from, const std::string& subject, int n) {
  return "From: " + from + "\r\nTo: taro@example.jp\r\nSubject: " + subject +
         "\r\nDate: Mon, 1 Jan 2024 09:0" + std::to_string(n) +
         ":00 +0900\r\nMessage-ID: <" + std::to_string(n) + "@list.test>\r\n\r\nHello.\r\n";
}

TEST(ListE2eTest, RejectionListSavedOnItsPageJudgesTheRunningCheckersNextCheck) {
  ASSERT_TRUE(std::filesystem::is_directory(kDistribution)) << "build the delivered data first";
  test::TempPrefix prefix;
  test::DovecotServer server;
  const std::string spam = Mail("Offers <offers@bad.test>", "offer", 1);
  const std::string friendly = Mail("Hanako <hanako@good.test>", "lunch", 2);
  ASSERT_TRUE(server.Start({{"taro", "taro-pw", {spam, friendly}}})) << server.error();

  // Manual checks only, judged by the rejection list, and no list yet.
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"init", "--data", kDistribution},
                                             {"level", "0"},
                                             {"mode", "0"},
                                             {"account", "1", server.Account("taro"), "taro-pw"}}) {
    ASSERT_EQ(test::RunZvrxctl(prefix.path(), args).status, 0);
  }
  const std::string list_file = prefix.DataFolderHost() + "/" + kRejectionListName;
  std::filesystem::remove(list_file);

  test::CheckerProcess checker(prefix.path(), "");
  ASSERT_TRUE(checker.started());
  test::SettingsSide side;
  ASSERT_TRUE(side.WaitForBlock(kStartMs)) << checker.Output();

  {
    test::SettingsProcess program(prefix.path(), "YES");
    ASSERT_TRUE(program.WaitUntilUp(kStartMs)) << program.Output();
    ASSERT_EQ(program.Control(test::CommandRequest(kMainFrameClass, kCmdRejectionList)), "ok");
    ASSERT_TRUE(program.WaitForReply("frames", "KyohiList", 5000)) << program.Output();
    EXPECT_EQ(program.Control(test::TypeRequest(kListDialogId, kListIdEdit, "bad.test")), "ok");
    EXPECT_EQ(program.Control(test::ClickRequest(kListDialogId, kListIdAdd)), "ok");
    EXPECT_EQ(program.Control("close KyohiList"), "ok");
    ASSERT_TRUE(program.WaitForTranscript("dialog 142\t", 5000)) << program.Output();
    ASSERT_TRUE(program.WaitForReply("frames", "ok ZvrxDlg", 5000)) << program.Output();
    EXPECT_EQ(program.Control("frames"), "ok ZvrxDlg");
  }
  EXPECT_EQ(test::ReadHostFile(list_file), "bad.test\r\n");

  // The checker takes the delivery within about a second; only then is the
  // block free for the request to check.
  SettingsRecords records;
  SettingsTransfer probe(records);
  test::WaitUntil([&] { return ReadBlock(probe) && probe.handshake_copy == TRAN_IDLE; }, 10000,
                  kStepMs);
  ASSERT_EQ(probe.handshake_copy, TRAN_IDLE);
  side.LoadRecordsFromFiles();
  side.Deliver(true);
  ASSERT_TRUE(side.CollectUntil("300 3 ", kCheckMs)) << checker.Output();
  EXPECT_EQ(server.RemainingMessages("taro"), std::vector<std::string>{friendly});
  EXPECT_EQ(checker.Terminate(), 0);
}

}  // namespace
}  // namespace zvrx
