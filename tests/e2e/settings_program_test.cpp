// MailZevrox as a real process in a throw-away machine: one copy at a time,
// SIGTERM, and the message dialogs as the transcript records them, driven
// through the program's control socket.
#include <signal.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/instance_lock.h"
#include "tests/support/control_requests.h"
#include "tests/support/process_runner.h"
#include "tests/support/settings_process.h"
#include "tests/support/temp_prefix.h"
#include "tests/support/ui_control.h"
#include "tests/support/wait_until.h"

namespace zvrx {
namespace {

using test::SettingsProcess;

constexpr char kFakeChecker[] = ZVRX_BINARY_DIR "/tests/fake_checker";
constexpr int kStepMs = 50;

class SettingsProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { NewMachine(); }

  // A fresh machine; the old one goes first, as it restores the prefix it replaced.
  void NewMachine() {
    prefix_.reset();
    prefix_ = std::make_unique<test::TempPrefix>();
  }
  const std::string& Path() const { return prefix_->path(); }

  std::unique_ptr<SettingsProcess> Start(const std::string& answers,
                                         const std::string& name = "settings") {
    return std::make_unique<SettingsProcess>(Path(), answers, name);
  }

  std::unique_ptr<test::TempPrefix> prefix_;
  std::string found_;
};

TEST_F(SettingsProgramTest, ASecondCopyEndsAtOnceAndSigtermEndsTheFirst) {
  auto first = Start("");
  ASSERT_TRUE(first->WaitUntilUp(20000)) << first->Output();
  EXPECT_TRUE(platform::InstanceLock::IsHeld("ZvrxDlg", "Mail Zevrox"));

  auto second = Start("", "second");
  EXPECT_EQ(second->Wait(5000), 0) << second->Output();
  EXPECT_TRUE(first->Running());
  EXPECT_EQ(first->Control("frames"), "ok ZvrxDlg");

  first->Signal(SIGTERM);
  EXPECT_EQ(first->Wait(10000), 0) << first->Output();
  EXPECT_FALSE(platform::InstanceLock::IsHeld("ZvrxDlg", "Mail Zevrox"));
}

TEST_F(SettingsProgramTest, FirstTypingIntoAnEmptyMachineShowsTheNotice) {
  auto program = Start("OK");
  ASSERT_TRUE(program->WaitUntilUp(20000)) << program->Output();
  EXPECT_EQ(program->Control(test::TypeRequest(kBasicDialogId, kIdAccount, "x")), "ok");
  ASSERT_TRUE(program->WaitForTranscript("dialog 116\t", 5000, &found_));
  // Empty line fields may follow; what shows is the two sentences.
  EXPECT_EQ(found_.rfind("dialog 116\t  Mail Zevrox\t有効なアカウントが設定されていません。\\n"
                         "少なくとも一つは設定して下さい。", 0),
            0u)
      << found_;
  // Only once per run.
  EXPECT_EQ(program->Control(test::TypeRequest(kBasicDialogId, kIdAccount, "xy")), "ok");
  EXPECT_EQ(program->Control(test::TextRequest(kBasicDialogId, kIdAccount)), "ok xy");
  program->Signal(SIGTERM);
  EXPECT_EQ(program->Wait(10000), 0);
  EXPECT_EQ(test::ReadHostFile(program->transcript_path()).find("dialog 116", found_.size()),
            std::string::npos);
}

TEST_F(SettingsProgramTest, SigtermEndsItWhileADialogWaitsForAnAnswer) {
  auto program = Start("");  // nobody answers the notice
  ASSERT_TRUE(program->WaitUntilUp(20000)) << program->Output();
  // The request's reply comes only when the dialog has gone: do not wait for it.
  std::thread typing([socket = program->socket()] {
    test::UiControl own;
    if (own.Connect(socket, 5000)) own.Request(test::TypeRequest(kBasicDialogId, kIdAccount, "x"));
  });
  const bool shown = program->WaitForTranscript("dialog 116\t", 5000);
  program->Signal(SIGTERM);
  EXPECT_EQ(program->Wait(10000), 0) << program->Output();
  typing.join();
  EXPECT_TRUE(shown);
}

// "検査" with a stored account; a stand-in checker answers with a report.
TEST_F(SettingsProgramTest, CheckerReportsShowInTheirDialogs) {
  struct {
    const char* rule;
    std::vector<std::string> report;  // code p1 p2 p3 p4
    const char* answers;
    const char* dialog;
    const char* shown;        // part of the transcript line
    const char* checker_says; // "" when the checker waits for nothing
  } cases[] = {
      {"no usable account: string 130 in the one-button dialog", {"130", "0", "0", "0", "0"}, "OK",
       "dialog 140\t", "\t有効なアカウントが設定されていません。\\n少なくとも１つは設定して下さい。",
       ""},
      {"new mail after a manual check: examined 5, deleted 2, three new; yes starts the mailer",
       {"210", "0", "3", "5", "2"}, "YES", "dialog 141\t",
       "検査したメール数 ： 5\\n削除したメール数 ： 2\\n3通の新しいメール", "answer yes"},
      {"the same answered no", {"210", "0", "3", "5", "2"}, "NO", "dialog 141\t",
       "メールソフトを起動しますか？", "answer no"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rule);
    NewMachine();
    ASSERT_EQ(test::RunZvrxctl(Path(), {"account", "1", "demo@127.0.0.1", "pw"}).status, 0);
    std::vector<std::string> args{kFakeChecker, Path(), "60"};
    args.insert(args.end(), c.report.begin(), c.report.end());
    test::Process checker(test::AppendingOutput(args, {}, Path() + "/checker.out"));
    test::WaitUntil([&] { return checker.Output().find("ready") != std::string::npos; }, 5000,
                    kStepMs);
    auto program = Start(c.answers);
    ASSERT_TRUE(program->WaitUntilUp(20000)) << program->Output();
    EXPECT_EQ(program->Control(test::ClickRequest(kBasicDialogId, kIdCheckButton)), "ok");
    ASSERT_TRUE(program->WaitForTranscript(c.dialog, 15000, &found_)) << checker.Output();
    EXPECT_NE(found_.find(c.shown), std::string::npos) << found_;
    if (*c.checker_says != '\0') {
      test::WaitUntil([&] { return checker.Output().find("answer") != std::string::npos; }, 10000,
                      kStepMs);
      EXPECT_NE(checker.Output().find(c.checker_says), std::string::npos) << checker.Output();
    }
    program->Signal(SIGTERM);
    EXPECT_EQ(program->Wait(10000), 0);
  }
}

}  // namespace
}  // namespace zvrx
