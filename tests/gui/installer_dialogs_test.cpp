// The installer's two dialogs offscreen, with the work's outside effects
// recorded: the licence text and its focus-taker, the states of the main
// dialog, message 11 at the free-space boundary, the removal question, and
// what Exit starts.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "install/app/installer_dialogs.h"
#include "install/messages.h"
#include "platform/cp932.h"
#include "platform/drives.h"
#include "platform/ui/test_hooks.h"
#include "platform/ui/transcript.h"
#include "platform/ui/window.h"
#include "tests/gui/gui_application.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;
namespace ui = platform::ui;

constexpr char kTemplates[] = ZVRX_SOURCE_DIR "/resources/install/install_dialogs.dlg";

struct MainSeen {
  std::string status;
  bool install_enabled = false;
  bool remove_enabled = false;
};

class InstallerDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::GuiApplication();
    std::string error;
    ASSERT_TRUE(ui::LoadDialogTemplates(kTemplates, program_.templates, &error)) << error;
    const std::string medium = prefix_.path() + "/medium/Installer Resources/";
    test::WriteHostFile(medium + "MailZevrox.exe", "settings program");
    test::WriteHostFile(medium + "Zvrx.exe", "checker");
    test::WriteHostFile(medium + "Zvrx Staffs/LICENSE", licence_);
    program_.paths =
        BuildInstallerPaths("C:\\WINDOWS", platform::WindowsPath(prefix_.path() + "/medium"));
    InstallerActions& actions = program_.actions;
    actions.free_space = [this](const std::string&) { return free_; };
    actions.stop_programs = [this](std::string_view name) { stopped_.emplace_back(name); };
    actions.play_sound = [this](const std::vector<uint8_t>&) { ++sounds_; };
    actions.start_program = [this](const std::string& line) {
      started_.push_back(line);
      return 4242;
    };
    actions.checker_block_exists = [] { return true; };
    actions.process_running = [](int) { return true; };
    actions.sleep = [](int) {};
    actions.write_autostart = [](const std::string&) { return true; };
    actions.remove_autostart = [] { return true; };
    transcript_ = prefix_.path() + "/transcript";
    ui::TestHooks hooks;
    hooks.transcript = transcript_;
    ui::SetTestHooks(hooks);
  }
  void TearDown() override {
    ui::SetModalObserver(nullptr);
    ui::SetScriptedAnswers({});
    ui::SetTestHooks({});
  }

  // Runs the installer; `licence` sees dialog 105, `main` acts on 101.
  void Run(std::vector<std::string> answers, std::function<void(ui::Dialog&)> licence,
           std::function<void(ui::Dialog&)> main) {
    ui::SetScriptedAnswers(std::move(answers));
    ui::SetModalObserver([licence, main](ui::Dialog& dialog) {
      if (dialog.TemplateId() == kLicenceDialog && licence) licence(dialog);
      if (dialog.TemplateId() == kMainDialog && main) main(dialog);
    });
    RunInstaller(program_);
  }

  static MainSeen See(ui::Dialog& dialog) {
    return {dialog.GetItemText(kMainStatus), dialog.IsItemEnabled(kMainInstall),
            dialog.IsItemEnabled(kMainRemove)};
  }
  std::string Transcript() const { return test::ReadHostFile(transcript_); }
  bool Installed() const {
    return fs::exists(prefix_.InstallRootHost() + "/MailZevrox.exe");
  }

  test::TempPrefix prefix_{false};
  InstallerProgram program_;
  std::string licence_ = platform::Utf8ToCp932("使用許諾書\r\n第１条\r\n");
  int64_t free_ = kRequiredFreeSpace;
  std::vector<std::string> stopped_;
  std::vector<std::string> started_;
  int sounds_ = 0;
  std::string transcript_;
};

TEST_F(InstallerDialogsTest, TheLicenceIsShownWholeAndRefusingEndsTheProgram) {
  std::string text;
  int focused = -1;
  bool main_shown = false;
  Run({"1000"},
      [&](ui::Dialog& dialog) {
        text = dialog.GetItemText(kLicenceText);
        focused = dialog.FocusedItem();
      },
      [&](ui::Dialog&) { main_shown = true; });
  EXPECT_EQ(text, licence_);
  EXPECT_NE(focused, kLicenceText);  // the caret is never in the text
  EXPECT_FALSE(main_shown);
  EXPECT_FALSE(program_.agreed);
  EXPECT_FALSE(Installed());
  EXPECT_NE(Transcript().find("dialog 105\t  Mail Zevrox\t"), std::string::npos) << Transcript();
}

TEST_F(InstallerDialogsTest, AMissingLicenceLeavesTheBoxEmptyAndAgreeingStillWorks) {
  fs::remove(prefix_.path() + "/medium/Installer Resources/Zvrx Staffs/LICENSE");
  std::string text = "unset";
  MainSeen seen;
  Run({"OK", "1"}, [&](ui::Dialog& dialog) { text = dialog.GetItemText(kLicenceText); },
      [&](ui::Dialog& dialog) { seen = See(dialog); });
  EXPECT_EQ(text, "");
  EXPECT_TRUE(program_.agreed);
  EXPECT_EQ(seen.status, InstallerMessage(kMsgPressInstall));
  EXPECT_TRUE(seen.install_enabled);
  EXPECT_FALSE(seen.remove_enabled);
  EXPECT_TRUE(started_.empty());  // nothing installed in this run
}

TEST_F(InstallerDialogsTest, OneByteTooLittleFreeSpaceShowsMessage11) {
  free_ = kRequiredFreeSpace - 1;
  MainSeen after;
  Run({"OK", "1", "OK"}, nullptr, [&](ui::Dialog& dialog) {
    dialog.UserClick(kMainInstall);  // message 11, answered OK
    after = See(dialog);
    dialog.UserClick(kMainExit);
  });
  EXPECT_NE(Transcript().find("messagebox\tMail Zevrox\t" +
                              platform::Cp932ToUtf8(InstallerMessage(kMsgNoSpace))
                                  .substr(0, 20)),
            std::string::npos)
      << Transcript();
  EXPECT_EQ(after.status, InstallerMessage(kMsgPressInstall));
  EXPECT_TRUE(after.install_enabled);
  EXPECT_FALSE(after.remove_enabled);
  EXPECT_FALSE(Installed());
  EXPECT_TRUE(started_.empty());
  EXPECT_EQ(sounds_, 0);
}

TEST_F(InstallerDialogsTest, ExactlyEnoughSpaceInstallsAndExitStartsTheSuite) {
  MainSeen before, after;
  Run({"OK", "1"}, nullptr, [&](ui::Dialog& dialog) {
    before = See(dialog);
    dialog.UserClick(kMainInstall);
    after = See(dialog);
    dialog.UserClick(kMainExit);
  });
  EXPECT_EQ(before.status, InstallerMessage(kMsgPressInstall));
  EXPECT_EQ(after.status, InstallerMessage(kMsgInstalled));
  EXPECT_FALSE(after.install_enabled);
  EXPECT_TRUE(after.remove_enabled);
  EXPECT_TRUE(Installed());
  EXPECT_EQ(sounds_, 0);  // the medium has no Regist: no sound, no default one
  ASSERT_EQ(started_.size(), 2u);
  EXPECT_EQ(started_[0], "\"" + program_.paths.startup_copy + "\"");
  EXPECT_EQ(started_[1], "\"C:\\Program Files\\ZVRX\\MailZevrox.exe\"");
  EXPECT_EQ(Transcript().find("messagebox"), std::string::npos);
}

TEST_F(InstallerDialogsTest, InstalledInAnEarlierRunExitStartsNothing) {
  test::WriteHostFile(prefix_.InstallRootHost() + "/MailZevrox.exe", "settings program");
  MainSeen seen;
  Run({"OK", "1"}, nullptr, [&](ui::Dialog& dialog) { seen = See(dialog); });
  EXPECT_EQ(seen.status, InstallerMessage(kMsgAlreadyInstalled));
  EXPECT_FALSE(seen.install_enabled);
  EXPECT_TRUE(seen.remove_enabled);
  EXPECT_TRUE(started_.empty());
  EXPECT_TRUE(Installed());
}

TEST_F(InstallerDialogsTest, RemoveAsksThenRemovesAndInstallingAgainStartsTheSuite) {
  test::WriteHostFile(prefix_.InstallRootHost() + "/MailZevrox.exe", "settings program");
  MainSeen cancelled, removed, escaped, reinstalled;
  Run({"OK", "1", "CANCEL", "OK"}, nullptr, [&](ui::Dialog& dialog) {
    dialog.UserClick(kMainRemove);  // message 12, cancelled
    cancelled = See(dialog);
    dialog.UserClick(kMainRemove);  // message 12, OK
    removed = See(dialog);
    // Disabled, the remove button asks nothing.
    dialog.UserClick(kMainRemove);
    escaped = See(dialog);
    dialog.UserClick(kMainInstall);
    reinstalled = See(dialog);
    dialog.UserClick(kMainExit);
  });
  EXPECT_EQ(cancelled.status, InstallerMessage(kMsgAlreadyInstalled));
  EXPECT_TRUE(cancelled.remove_enabled);
  EXPECT_EQ(removed.status, InstallerMessage(kMsgRemoved));
  EXPECT_TRUE(removed.install_enabled);
  EXPECT_FALSE(removed.remove_enabled);
  EXPECT_EQ(stopped_, (std::vector<std::string>{"ZVRX.EXE", "MAILZEVROX.EXE", "ZVRXHELP.EXE"}));
  EXPECT_EQ(escaped.status, InstallerMessage(kMsgRemoved));
  EXPECT_EQ(reinstalled.status, InstallerMessage(kMsgInstalled));
  // The removal question twice: Cancel is answered, then OK.
  const std::string question = "messagebox\t  Mail Zevrox\tMail Zevrox を削除して良いのですね。\\n";
  const std::string transcript = Transcript();
  const size_t first = transcript.find(question);
  ASSERT_NE(first, std::string::npos) << transcript;
  EXPECT_NE(transcript.find(question, first + 1), std::string::npos);
  EXPECT_EQ(transcript.find(question, transcript.find(question, first + 1) + 1),
            std::string::npos);
  EXPECT_EQ(started_.size(), 2u);
  EXPECT_TRUE(Installed());
}

TEST_F(InstallerDialogsTest, AProgramThatCannotBeCopiedIsReportedAndNothingStarts) {
  fs::remove(prefix_.path() + "/medium/Installer Resources/Zvrx.exe");
  MainSeen seen;
  Run({"OK", "1"}, nullptr, [&](ui::Dialog& dialog) {
    dialog.UserClick(kMainInstall);
    seen = See(dialog);
    dialog.UserClick(kMainExit);
  });
  EXPECT_EQ(seen.status,
            InstallerMessage(kMsgProgramNotCopied) + program_.paths.startup_copy);
  EXPECT_TRUE(seen.install_enabled);
  EXPECT_TRUE(seen.remove_enabled);
  EXPECT_TRUE(started_.empty());
}

}  // namespace
}  // namespace zvrx
