// A dictionary switched off on the judgment page of the real MailZevrox is
// dropped by a ZVRX that is already running: the page's delivery carries
// the language-options changed flag, and the next check keeps the mail only
// that dictionary caught.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shared/records.h"
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

namespace fs = std::filesystem;

const std::string kDistribution = ZVRX_BINARY_DIR "/Installer Resources";
const std::string kPharmacySpam = ZVRX_SOURCE_DIR "/tests/corpus/en-spam-13.eml";
constexpr int kStepMs = 50;
constexpr int kStartMs = 20000;
constexpr int kCheckMs = 60000;

// The block is free again once the checker took the last delivery.
bool WaitForIdleBlock(int timeout_ms) {
  SettingsRecords records;
  SettingsTransfer transfer(records);
  return test::WaitUntil([&] { return ReadBlock(transfer) && transfer.local.code == TRAN_IDLE; },
                         timeout_ms, kStepMs);
}

TEST(JudgmentE2eTest, DictionarySwitchedOffOnThePageIsDroppedByTheRunningChecker) {
  ASSERT_TRUE(fs::is_directory(kDistribution)) << "build the delivered data first";
  test::TempPrefix prefix;
  test::DovecotServer server;
  ASSERT_TRUE(server.Start({{"taro", "taro-pw", {test::ReadHostFile(kPharmacySpam)}}}))
      << server.error();

  const std::string& root = prefix.path();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"init", "--data", kDistribution}, {"level", "1"}, {"mode", "0"},
        {"options", "0x0000"}, {"account", "1", server.Account("taro"), "taro-pw"}}) {
    ASSERT_EQ(test::RunZvrxctl(root, args).status, 0) << args[0];
  }
  // Two dictionaries, so that both stand in the page's first boxes: the
  // Japanese phishing one and the English pharmacy one that catches the mail.
  const fs::path method = prefix.InstallRootHost() + "/Method";
  for (const auto& entry : fs::directory_iterator(method)) {
    const std::string name = entry.path().filename().string();
    const bool kept = name.find("11jp_phish") != std::string::npos ||
                      name.find("22en_pharm") != std::string::npos;
    if (!kept) fs::remove(entry.path());
  }
  const test::ProgramRun judged = test::RunZvrxctl(root, {"judge", kPharmacySpam});
  ASSERT_NE(judged.out.find("\tdelete\t"), std::string::npos) << "precondition: " << judged.out;

  test::CheckerProcess checker(root, "");
  ASSERT_TRUE(checker.started());
  ASSERT_TRUE(WaitForIdleBlock(kStartMs)) << checker.Output();

  {
    test::SettingsProcess settings(root, "YES");
    ASSERT_TRUE(settings.WaitUntilUp(kStartMs)) << settings.Output();
    ASSERT_EQ(settings.Control(test::CommandRequest(kMainFrameClass, kCmdJudgment)), "ok");
    // The pharmacy dictionary has the page's second box.
    const int pharmacy_box = kIdFirstDictionaryBox + 1;
    ASSERT_EQ(settings.Control(test::TextRequest(kJudgmentDialogId, pharmacy_box)),
              "ok 22en_pharm");
    ASSERT_EQ(settings.Control(test::ClickRequest(kJudgmentDialogId, pharmacy_box)), "ok");
    ASSERT_EQ(settings.Control("close HanteiJoken"), "ok");
    ASSERT_TRUE(settings.WaitForTranscript("dialog 142\t", 10000)) << settings.Output();
    EXPECT_EQ(settings.Control("frames"), "ok ZvrxDlg");
    // The checker takes the delivery between checks, about once a second.
    ASSERT_TRUE(WaitForIdleBlock(10000));
    EXPECT_EQ(settings.Terminate(10000), 0) << settings.Output();
  }

  // A check request carrying the saved records, whose flag is 0: only the
  // page's own delivery can have told the checker to reload.
  test::SettingsSide side;
  side.LoadRecordsFromFiles();
  EXPECT_STREQ(side.records().judgment.disabled_dictionaries[0], "22en_pharm");
  EXPECT_EQ(side.records().judgment.languages_changed, 0);
  side.Deliver(true);
  ASSERT_TRUE(side.CollectUntil("300 3 ", kCheckMs)) << checker.Output();
  EXPECT_EQ(server.RemainingMessages("taro"),
            std::vector<std::string>{test::ReadHostFile(kPharmacySpam)})
      << ::testing::PrintToString(side.posts());
  EXPECT_EQ(checker.Terminate(), 0);
}

}  // namespace
}  // namespace zvrx
