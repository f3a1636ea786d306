// The options page offscreen, driven through its controls: the option
// boxes, choosing and clearing the mail program, the command-line lock and
// the Edit menu, and the save question at close.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/cp932.h"
#include "platform/ui/transcript.h"
#include "platform/ui/window.h"
#include "settings/message_dialogs.h"
#include "settings/message_table.h"
#include "settings/model/option_bits.h"
#include "settings/pages/options_page.h"
#include "settings/pages/page_window.h"
#include "shared/extension_settings.h"
#include "shared/record_files.h"
#include "tests/gui/page_fixture.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace ui = platform::ui;

constexpr char kMailerPath[] = "Z:\\opt\\mail\\mailer.exe";

class OptionsPageTest : public test::PageFixture {
 protected:
  void ChooseMailerInRecords(const char* arguments) {
    std::strcpy(state_.records.mailer.mailer_path, kMailerPath);
    std::strcpy(state_.records.mailer.mailer_arguments, arguments);
    state_.records.options.mailer_marker = 1;
  }

  // Opens the page in a frame of its own and takes the snapshots the
  // framework takes right after.
  ui::Dialog& Open() {
    MakeFrame("OptionSetei", PageNameOptions(), 350, 340);
    ui::Dialog& dialog = CreatePage(MakeOptionsPage(state_));
    state_.snapshots.options = state_.records.options;
    state_.snapshots.mailer = state_.records.mailer;
    return dialog;
  }

  std::string DataFile(const char* name) const {
    return test::ReadHostFile(prefix_.DataFolderHost() + "/" + name);
  }
};

TEST_F(OptionsPageTest, OpensWithTheStoredChoicesAndAddsLaunchFlags) {
  state_.records.options.option_bits = kOptAutoDialog | kOptAutoStartMailer | kOptManualReport;
  state_.records.basic.launch_flags = 2;
  ChooseMailerInRecords("-check now");
  ui::Dialog& dialog = Open();

  EXPECT_FALSE(dialog.IsButtonChecked(kIdAutoSoundBox));
  EXPECT_TRUE(dialog.IsButtonChecked(kIdAutoDialogBox));
  EXPECT_TRUE(dialog.IsButtonChecked(kIdAutoStartMailerBox));
  EXPECT_TRUE(dialog.IsButtonChecked(kIdManualReportBox));
  EXPECT_FALSE(dialog.IsButtonChecked(kIdManualStartMailerBox));
  EXPECT_EQ(dialog.GetItemText(kIdMailerName), "mailer.exe");
  EXPECT_EQ(dialog.GetItemText(kIdMailerArguments), "-check now");
  EXPECT_TRUE(dialog.IsItemEnabled(kIdMailerArguments));
  // Opening adds launch bit 0 for option bit 2 and keeps bit 1.
  EXPECT_EQ(state_.records.basic.launch_flags, 3);
}

TEST_F(OptionsPageTest, BoxClicksChangeTheOptionWordAndLaunchFlags) {
  state_.records.options.option_bits = 0xFF00;  // bit 8 and bits without meaning
  ui::Dialog& dialog = Open();
  ASSERT_TRUE(dialog.IsButtonChecked(kIdManualStartMailerBox));

  dialog.UserClick(kIdAutoStartMailerBox);
  EXPECT_EQ(state_.records.options.option_bits, 0xFF04);
  EXPECT_EQ(state_.records.basic.launch_flags, 3);
  EXPECT_NE(state_.changed_marks & kChangedOptions, 0);

  // Unticking the manual mail-program box drops every bit but 0, 1, 2, 4.
  dialog.UserClick(kIdManualStartMailerBox);
  EXPECT_FALSE(dialog.IsButtonChecked(kIdManualStartMailerBox));
  EXPECT_EQ(state_.records.options.option_bits, 0x0004);
  EXPECT_EQ(state_.records.basic.launch_flags, 1);
}

TEST_F(OptionsPageTest, ClearingTheMailerThenYesSavesEmptyMailerAndZeroMarker) {
  state_.records.options.option_bits = kOptAutoSound;
  ChooseMailerInRecords("/x");
  ui::Dialog& dialog = Open();

  dialog.UserClick(kIdClearMailer);
  EXPECT_EQ(dialog.GetItemText(kIdMailerName), "");
  EXPECT_EQ(dialog.GetItemText(kIdMailerArguments), "");
  EXPECT_FALSE(dialog.IsItemEnabled(kIdMailerArguments));

  EXPECT_TRUE(CloseAnswering({"YES"}));
  ASSERT_EQ(modals_, std::vector<int>{kDialogOkNoCancelId});
  EXPECT_EQ(questions_[0], PageNameOptions() + MessageString(200));
  EXPECT_EQ(state_.changed_marks & kChangedOptions, 0);

  const std::string options = DataFile("ZVoi128");
  ASSERT_EQ(options.size(), sizeof(NotifyOptions));
  EXPECT_EQ(options, std::string("\x01\x00\x00\x00\x00\x00\x00\x00", 8));
  const std::string mailer = DataFile("ZVad128");
  ASSERT_EQ(mailer.size(), sizeof(MailerSettings));
  EXPECT_EQ(mailer, std::string(sizeof(MailerSettings), '\0'));
  // New snapshots: closing again asks nothing.
  EXPECT_EQ(std::memcmp(&state_.snapshots.mailer, &state_.records.mailer, sizeof(MailerSettings)),
            0);
}

TEST_F(OptionsPageTest, NoRestoresOptionsAndMailerAsOpened) {
  state_.records.options.option_bits = kOptAutoDialog | kOptManualReport;
  ChooseMailerInRecords("-a");
  const SettingsRecords opened = state_.records;
  ui::Dialog& dialog = Open();

  dialog.UserClick(kIdAutoSoundBox);
  dialog.UserType(kIdMailerArguments, "-b -c");
  EXPECT_STREQ(state_.records.mailer.mailer_arguments, "-b -c");
  ui::SetScriptedAnswers({"/usr/local/bin/other.exe"});
  dialog.UserClick(kIdChooseMailer);
  EXPECT_EQ(dialog.GetItemText(kIdMailerName), "other.exe");
  EXPECT_STREQ(state_.records.mailer.mailer_path, "Z:\\usr\\local\\bin\\other.exe");

  EXPECT_TRUE(CloseAnswering({"NO"}));
  EXPECT_EQ(modals_.size(), 1u);
  EXPECT_EQ(std::memcmp(&state_.records.options, &opened.options, sizeof(NotifyOptions)), 0);
  EXPECT_EQ(std::memcmp(&state_.records.mailer, &opened.mailer, sizeof(MailerSettings)), 0);
  EXPECT_EQ(state_.changed_marks & kChangedOptions, 0);
  EXPECT_EQ(DataFile("ZVoi128"), "") << "nothing is saved";
}

TEST_F(OptionsPageTest, CancelKeepsThePageOpenAndChanged) {
  ui::Dialog& dialog = Open();
  dialog.UserClick(kIdManualReportBox);
  EXPECT_FALSE(CloseAnswering({"CANCEL"}));
  EXPECT_EQ(state_.records.options.option_bits, kOptManualReport);
  EXPECT_NE(state_.changed_marks & kChangedOptions, 0);
}

TEST_F(OptionsPageTest, UnchangedPageClosesWithoutAQuestion) {
  state_.records.options.option_bits = kOptAutoSound;
  ChooseMailerInRecords("-q");
  ui::Dialog& dialog = Open();
  // A box ticked and unticked again leaves the records as they were.
  dialog.UserClick(kIdAutoDialogBox);
  dialog.UserClick(kIdAutoDialogBox);
  dialog.UserFocus(kIdMailerArguments);
  EXPECT_TRUE(CloseAnswering({}));
  EXPECT_TRUE(modals_.empty());
  EXPECT_EQ(DataFile("ZVoi128"), "");
}

TEST_F(OptionsPageTest, WithoutAMailProgramTheCommandLineAndEditMenuAreLocked) {
  std::strcpy(state_.records.mailer.mailer_arguments, "left over");
  ui::Dialog& dialog = Open();
  EXPECT_FALSE(dialog.IsItemEnabled(kIdMailerArguments));
  EXPECT_EQ(dialog.GetItemText(kIdMailerArguments), "");
  EXPECT_EQ(state_.records.mailer.mailer_arguments[0], '\0');

  page_->OnEditMenuOpening(*frame_);
  for (int command : {kCmdUndo, kCmdCopy, kCmdPaste, kCmdCut}) {
    EXPECT_FALSE(frame_->IsMenuItemEnabled(command)) << command;
  }

  // Choosing a program unlocks the field; a selection enables cut and copy.
  ui::SetScriptedAnswers({"Z:\\mail.exe"});
  dialog.UserClick(kIdChooseMailer);
  EXPECT_TRUE(dialog.IsItemEnabled(kIdMailerArguments));
  EXPECT_NE(state_.records.options.mailer_marker, 0u);
  dialog.UserType(kIdMailerArguments, "-x");
  dialog.SetEditSelection(kIdMailerArguments, 0, -1);
  page_->OnEditMenuOpening(*frame_);
  EXPECT_TRUE(frame_->IsMenuItemEnabled(kCmdCopy));
  EXPECT_TRUE(frame_->IsMenuItemEnabled(kCmdCut));
  page_->OnEditCommand(kCmdCut);
  EXPECT_EQ(dialog.GetItemText(kIdMailerArguments), "");
  EXPECT_EQ(state_.records.mailer.mailer_arguments[0], '\0');
}

TEST_F(OptionsPageTest, ChoosingIsRefusedForATooLongPathOrAWaitingFileDialog) {
  ui::Dialog& dialog = Open();
  const std::string too_long = "Z:\\" + std::string(kMailerPathSize, 'a') + ".exe";
  ui::SetScriptedAnswers({too_long});
  dialog.UserClick(kIdChooseMailer);
  EXPECT_EQ(state_.records.mailer.mailer_path[0], '\0');
  EXPECT_FALSE(dialog.IsItemEnabled(kIdMailerArguments));
  EXPECT_EQ(state_.records.mailer.mailer_arguments[0], '\0');
  EXPECT_FALSE(state_.file_dialog_open);

  // Another page's file dialog is up: the click does nothing.
  state_.file_dialog_open = true;
  ui::SetScriptedAnswers({"Z:\\mail.exe"});
  dialog.UserClick(kIdChooseMailer);
  EXPECT_EQ(state_.records.mailer.mailer_path[0], '\0');
  EXPECT_EQ(ui::NextScriptedAnswer(), std::optional<std::string>("Z:\\mail.exe"));
}

// The kept-copies box shows "keep_deleted" of ZVRXExt.ini (on when the file
// has no such key) and is saved with the page: "はい" writes the file, "いいえ"
// leaves it as it was, and an unchanged page asks nothing.
TEST_F(OptionsPageTest, KeepCopiesBoxFollowsTheExtensionSettingsFile) {
  const std::string ini = prefix_.DataFolderHost() + "/ZVRXExt.ini";
  {
    ui::Dialog& dialog = Open();
    EXPECT_TRUE(dialog.IsButtonChecked(kIdKeepCopiesBox));
    dialog.UserClick(kIdKeepCopiesBox);
    EXPECT_NE(state_.changed_marks & kChangedOptions, 0);
    EXPECT_TRUE(CloseAnswering({"NO"}));
    EXPECT_EQ(test::ReadHostFile(ini), "");
  }
  page_.reset();
  frame_.reset();
  {
    ui::Dialog& dialog = Open();
    EXPECT_TRUE(dialog.IsButtonChecked(kIdKeepCopiesBox));
    dialog.UserClick(kIdKeepCopiesBox);
    EXPECT_TRUE(CloseAnswering({"YES"}));
    EXPECT_FALSE(LoadExtensionSettings().Bool(kKeepDeletedKey));
    EXPECT_NE(test::ReadHostFile(ini).find("keep_deleted = off"), std::string::npos);
  }
  page_.reset();
  frame_.reset();
  modals_.clear();
  ui::Dialog& dialog = Open();
  EXPECT_FALSE(dialog.IsButtonChecked(kIdKeepCopiesBox));
  EXPECT_TRUE(CloseAnswering({}));
  EXPECT_TRUE(modals_.empty());
}

}  // namespace
}  // namespace zvrx
