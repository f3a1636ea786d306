// MailZevrox and ZVRX as real processes on one machine against a real
// Dovecot: the user types an account and its password into the basic page,
// presses "検査", saves, follows the progress in the status line, sees the
// result with its counts and says yes to starting the mail program, which
// the checker then starts.
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/drives.h"
#include "shared/record_files.h"
#include "tests/support/checker_process.h"
#include "tests/support/control_requests.h"
#include "tests/support/corpus.h"
#include "tests/support/dovecot_fixture.h"
#include "tests/support/process_runner.h"
#include "tests/support/settings_process.h"
#include "tests/support/temp_prefix.h"
#include "tests/support/wait_until.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;

using test::kSettingsProgram;

const std::string kDistribution = ZVRX_BINARY_DIR "/Installer Resources";
constexpr int kStartMs = 15000;
constexpr int kCheckMs = 15000;

using test::Corpus;

// The result of a manual check that leaves new mail: the page shows the
// counts and its yes reaches the checker, which starts the mail program.
TEST(SettingsCheckE2eTest, CheckFromTheBasicPageShowsProgressAndResultAndStartsTheMailer) {
  ASSERT_TRUE(fs::is_directory(kDistribution)) << "build the delivered data first";
  ASSERT_TRUE(fs::exists(kSettingsProgram)) << "build MailZevrox first";
  test::TempPrefix prefix;
  test::DovecotServer server;
  // Spam, legitimate, spam: one kept, three examined, two deleted.
  ASSERT_TRUE(server.Start({{"taro", "taro-pw",
                             {Corpus("ja-spam-15.eml"), Corpus("ja-ham-04.eml"),
                              Corpus("en-spam-13.eml")}}}))
      << server.error();

  // Manual checks only; report them and start the mail program after them.
  for (std::vector<std::string> args :
       {std::vector<std::string>{"init", "--data", kDistribution}, {"level", "1"}, {"mode", "0"},
        {"options", "0x0110"}}) {
    const test::ProgramRun run = test::RunZvrxctl(prefix.path(), args);
    ASSERT_EQ(run.status, 0) << args[0] << ": " << run.err;
  }
  const std::string started = prefix.path() + "/mailer-started";
  const std::string mailer = prefix.path() + "/mailer";
  test::WriteHostFile(mailer, "#!/bin/sh\necho started >> '" + started + "'\n");
  chmod(mailer.c_str(), 0755);
  MailerSettings mailer_record{};
  const std::string mailer_path = platform::WindowsPath(mailer);
  ASSERT_LT(mailer_path.size(), sizeof mailer_record.mailer_path);
  std::memcpy(mailer_record.mailer_path, mailer_path.data(), mailer_path.size());
  ASSERT_TRUE(SaveMailerSettings(mailer_record));

  test::CheckerProcess checker(prefix.path(), "");
  ASSERT_TRUE(checker.started());
  test::SettingsSide probe;
  ASSERT_TRUE(probe.WaitForBlock(kStartMs)) << checker.Output();

  // The first-use notice (no usable account yet), yes to the save question,
  // yes to starting the mail program.
  test::SettingsProcess settings(prefix.path(), "OK,YES,YES");
  ASSERT_TRUE(settings.started());
  ASSERT_TRUE(settings.WaitUntilUp(kStartMs)) << settings.Output();

  const std::string account = server.Account("taro");
  EXPECT_EQ(settings.Control(test::TypeRequest(kBasicDialogId, kIdAccount, account)), "ok");
  EXPECT_EQ(settings.Control(test::TypeRequest(kBasicDialogId, kIdPassword, "taro-pw")), "ok");
  EXPECT_EQ(settings.Control(test::EnabledRequest(kBasicDialogId, kIdCheckButton)), "ok 1");
  EXPECT_EQ(settings.Control(test::ClickRequest(kBasicDialogId, kIdCheckButton)), "ok");

  // Follow the status line until the result dialog has come and gone.
  bool progress_seen = false;
  std::string result_line;
  test::WaitUntil(
      [&] {
        const std::string status = settings.Control(test::TextRequest(kBasicDialogId, kIdStatus));
        for (const char* text :
             {"サーバーを検索中です。", "メールを確認しています。", "メールを検査しています。"}) {
          if (status.find(text) != std::string::npos) progress_seen = true;
        }
        for (const std::string& line : settings.Transcript()) {
          if (line.rfind("dialog 141\t", 0) == 0) result_line = line;
        }
        return !result_line.empty();
      },
      kCheckMs, 50);
  EXPECT_TRUE(progress_seen) << "no progress text in the status line";
  ASSERT_FALSE(result_line.empty()) << ::testing::PrintToString(settings.Transcript())
                                    << settings.Output() << checker.Output();
  EXPECT_NE(result_line.find("検査したメール数 ： 3"), std::string::npos) << result_line;
  EXPECT_NE(result_line.find("削除したメール数 ： 2"), std::string::npos) << result_line;
  EXPECT_NE(result_line.find("1通の新しいメールが届いています。"), std::string::npos)
      << result_line;

  const std::vector<std::string> transcript = settings.Transcript();
  ASSERT_GE(transcript.size(), 2u);
  EXPECT_EQ(transcript[0].rfind("dialog 116\t", 0), 0u) << transcript[0];
  EXPECT_EQ(transcript[1].rfind("dialog 142\t", 0), 0u) << transcript[1];

  EXPECT_TRUE(test::WaitUntil([&] { return fs::exists(started); }, 5000, 100))
      << "the answer yes did not reach the checker";
  EXPECT_EQ(server.RemainingMessages("taro"), std::vector<std::string>{Corpus("ja-ham-04.eml")});

  // Saved before the check: the account is in the basic settings file.
  BasicSettings stored{};
  ASSERT_TRUE(LoadBasicSettings(stored));
  EXPECT_EQ(std::string(stored.accounts[0]), account);
  EXPECT_EQ(std::string(stored.passwords[0]), "taro-pw");

  // Once the checker is back to waiting, the page says so too.
  EXPECT_TRUE(test::WaitUntil(
      [&] {
        return settings.Control(test::TextRequest(kBasicDialogId, kIdStatus))
                   .find("待機しています。") != std::string::npos;
      },
      kCheckMs, 100))
      << "the status line never said the checker waits";

  EXPECT_EQ(settings.Control("close ZvrxDlg"), "ok");
  EXPECT_EQ(settings.Wait(kStartMs), 0) << settings.Output();
  EXPECT_EQ(checker.Terminate(), 0) << checker.Output();
  if (HasFailure()) std::cerr << "Dovecot log:\n" << server.Log();
}

}  // namespace
}  // namespace zvrx
