// The work-log page offscreen, in process: the summary and the view of a
// real log file, scrolling through the scroll bar, Export into a file named
// by the scripted save dialog, Clear, and the close that writes nothing.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/cp932.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/ui/transcript.h"
#include "platform/ui/window.h"
#include "settings/model/log_view.h"
#include "settings/message_dialogs.h"
#include "settings/pages/log_page.h"
#include "settings/pages/page_window.h"
#include "shared/kept_copies.h"
#include "shared/locations.h"
#include "tests/gui/page_fixture.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace ui = platform::ui;

// Entry i as the checker writes it: four lines, the first with its stamp.
std::string Entry(int i) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "01.02.%02d  10:%02d      ", 1 + i / 60, i % 60);
  const std::string blanks(25, ' ');
  return stamp + platform::Utf8ToCp932("匿名メールを削除しました") + "\r\n" + blanks +
         "(From :sender" + std::to_string(i) + "@example.jp)\r\n" + blanks +
         "(Subject :" + platform::Utf8ToCp932("件名") + std::to_string(i) + ")\r\n\r\n";
}

std::string MakeLog(int entries) {
  std::string log;
  for (int i = 0; i < entries; ++i) log += Entry(i);
  return log;
}

// Lines [top, top + 8) of `log` as the view shows them.
std::string ViewOf(const std::string& log, int top) {
  size_t start = 0;
  for (int i = 0; i < top; ++i) start = log.find('\n', start) + 1;
  size_t end = start;
  for (int i = 0; i < kLogViewLines && end < log.size(); ++i) end = log.find('\n', end) + 1;
  return log.substr(start, end - start - 2);  // without the last CR LF
}

class LogPageTest : public test::PageFixture {
 protected:
  std::string LogHost() const { return prefix_.DataFolderHost() + "/ZVRXLog"; }

  ui::Dialog& Open() {
    MakeFrame("LogList", "", 427, 300);
    ui::Dialog& dialog = CreatePage(MakeLogPage(state_));
    frame_->Show();
    return dialog;
  }
};

TEST_F(LogPageTest, ShowsTheLogAndScrollsThroughIt) {
  const int entries = 150;  // 600 lines: two blocks
  const std::string log = MakeLog(entries);
  test::WriteHostFile(LogHost(), log);
  ui::Dialog& dialog = Open();

  EXPECT_EQ(dialog.GetItemText(kIdLogPeriod), "01.02.01  10:00 - 01.02.03  10:29");
  EXPECT_EQ(dialog.GetItemText(kIdLogCount), "150");
  EXPECT_EQ(dialog.GetItemText(kIdLogView), ViewOf(log, 0));
  EXPECT_TRUE(dialog.IsItemEnabled(kIdLogScrollBar));
  EXPECT_EQ(dialog.ScrollPos(kIdLogScrollBar), 0);
  EXPECT_EQ(dialog.FocusedItem(), kIdLogFocusButton);

  const int lines = 4 * entries;
  const struct {
    int request, position, top;
  } steps[] = {
      {ui::kSbLineDown, 0, 1},
      {ui::kSbThumbTrack, 500, 1},  // dragging moves nothing
      {ui::kSbThumbPosition, 396, 396},
      {ui::kSbLineDown, 0, 397},  // into the second block
      {ui::kSbPageDown, 0, 405},
      {ui::kSbLineUp, 0, 404},
      {ui::kSbBottom, 0, lines - 8},
      {ui::kSbPageUp, 0, lines - 16},
      {ui::kSbTop, 0, 0},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.request);
    dialog.UserScroll(kIdLogScrollBar, step.request, step.position);
    EXPECT_EQ(dialog.GetItemText(kIdLogView), ViewOf(log, step.top));
    EXPECT_EQ(dialog.ScrollPos(kIdLogScrollBar),
              step.top == 0 ? 0 : LogScrollPosition(step.top, lines, 1));
  }

  // The Edit menu has nothing to act on here.
  page_->OnEditMenuOpening(*frame_);
  for (int command : {kCmdUndo, kCmdCut, kCmdCopy, kCmdPaste}) {
    EXPECT_FALSE(frame_->IsMenuItemEnabled(command)) << command;
  }
}

TEST_F(LogPageTest, ShortAndMissingLogsLeaveTheScrollBarOff) {
  // Two entries: exactly eight lines, all in view.
  test::WriteHostFile(LogHost(), MakeLog(2));
  ui::Dialog& dialog = Open();
  EXPECT_EQ(dialog.GetItemText(kIdLogView), ViewOf(MakeLog(2), 0));
  EXPECT_EQ(dialog.GetItemText(kIdLogCount), "2");
  EXPECT_FALSE(dialog.IsItemEnabled(kIdLogScrollBar));
  page_.reset();
  frame_.reset();

  ASSERT_TRUE(platform::DeleteFile(DataFolder() + "ZVRXLog"));
  ui::Dialog& empty = Open();
  EXPECT_EQ(empty.GetItemText(kIdLogCount), "0");
  EXPECT_EQ(empty.GetItemText(kIdLogPeriod), "");
  EXPECT_EQ(empty.GetItemText(kIdLogView), "");
  EXPECT_FALSE(empty.IsItemEnabled(kIdLogScrollBar));
}

TEST_F(LogPageTest, ExportCopiesTheLogByteForByteOverAnExistingFile) {
  const std::string log = MakeLog(12);
  test::WriteHostFile(LogHost(), log);
  const std::string target = prefix_.path() + "/exported.txt";
  test::WriteHostFile(target, "an older, much longer file that the copy replaces entirely\n");
  ui::Dialog& dialog = Open();

  // While another page's file dialog is open the press does nothing.
  state_.file_dialog_open = true;
  ui::SetScriptedAnswers({target});
  dialog.UserClick(kIdLogExport);
  EXPECT_NE(test::ReadHostFile(target), log);
  state_.file_dialog_open = false;

  // Cancelled: nothing written.
  ui::SetScriptedAnswers({"CANCEL"});
  dialog.UserClick(kIdLogExport);
  EXPECT_NE(test::ReadHostFile(target), log);

  ui::SetScriptedAnswers({target});
  dialog.UserClick(kIdLogExport);
  EXPECT_EQ(test::ReadHostFile(target), log);
  EXPECT_FALSE(state_.file_dialog_open);
}

TEST_F(LogPageTest, ClearDeletesTheLogAndASecondClearDoesNoHarm) {
  test::WriteHostFile(LogHost(), MakeLog(5));
  ui::Dialog& dialog = Open();
  ASSERT_TRUE(dialog.IsItemEnabled(kIdLogScrollBar));

  for (int press = 0; press < 2; ++press) {
    SCOPED_TRACE(press);
    dialog.UserClick(kIdLogClear);
    EXPECT_FALSE(platform::FileExists(DataFolder() + "ZVRXLog"));
    EXPECT_EQ(dialog.GetItemText(kIdLogView), "");
    EXPECT_EQ(dialog.GetItemText(kIdLogPeriod), "");
    EXPECT_EQ(dialog.GetItemText(kIdLogCount), "0");
    EXPECT_FALSE(dialog.IsItemEnabled(kIdLogScrollBar));
  }

  // With nothing in view Export shows no dialog: the scripted answer stays.
  const std::string target = prefix_.path() + "/never.txt";
  ui::SetScriptedAnswers({target});
  dialog.UserClick(kIdLogExport);
  EXPECT_FALSE(platform::FileExists(platform::WindowsPath(target)));
}

TEST_F(LogPageTest, TheCheckerAppendsWhileThePageHoldsTheLog) {
  const std::string log = MakeLog(30);
  test::WriteHostFile(LogHost(), log);
  ui::Dialog& dialog = Open();
  const std::string later = Entry(30);
  ASSERT_TRUE(platform::AppendFileBytes(DataFolder() + "ZVRXLog", later.data(), later.size()));

  // The page keeps what it indexed at opening.
  dialog.UserScroll(kIdLogScrollBar, ui::kSbBottom, 0);
  EXPECT_EQ(dialog.GetItemText(kIdLogView), ViewOf(log, 4 * 30 - 8));
  EXPECT_EQ(dialog.GetItemText(kIdLogCount), "30");

  // Closing lets the log go and writes nothing.
  EXPECT_TRUE(page_->RequestClose());
  EXPECT_EQ(test::ReadHostFile(LogHost()), log + later);
}

// "控え..." looks up the kept copy of the first whole entry in view: none
// for the entry at the top, so the one-button message says so; one for the
// next entry once it is scrolled to the top, shown in the kept-copy dialog
// and saved byte for byte into the file the save dialog names.
TEST_F(LogPageTest, KeptCopyOfTheEntryInViewOpensAndSaves) {
  const std::string log = MakeLog(6);
  test::WriteHostFile(LogHost(), log);
  const std::string message = "From: sender1@example.jp\r\nSubject: x\r\n\r\n..body\r\n";
  std::string name;
  {
    platform::LocalTime when;
    when.year = 2001;
    when.month = 2;
    when.day = 1;
    when.hour = 10;
    when.minute = 1;
    auto copy = PendingCopy::Begin(when);
    ASSERT_NE(copy, nullptr);
    ASSERT_TRUE(copy->Write(message.data(), message.size()));
    ASSERT_TRUE(copy->Finish());
    KeptCopyInfo info;
    info.stamp = "01.02.01  10:01";
    info.category = platform::Utf8ToCp932("匿名メール");
    info.from = "sender1@example.jp";
    info.subject = platform::Utf8ToCp932("件名") + "1";
    ASSERT_TRUE(copy->Commit(info));
    name = copy->name();
  }
  ui::Dialog& dialog = Open();

  ui::SetScriptedAnswers({"1"});
  dialog.UserClick(kIdLogKept);
  ASSERT_EQ(modals_, std::vector<int>{kDialogOkId});

  for (int i = 0; i < 4; ++i) dialog.UserScroll(kIdLogScrollBar, ui::kSbLineDown, 0);
  const std::string target = prefix_.path() + "/saved.eml";
  std::vector<std::string> shown;
  on_modal_ = [&](ui::Dialog& kept) {
    if (kept.TemplateId() != kKeptDialogId) return;
    for (int id : {kIdKeptStamp, kIdKeptCategory, kIdKeptFrom, kIdKeptSubject}) {
      shown.push_back(kept.GetItemText(id));
    }
    shown.push_back(kept.GetItemText(kIdKeptSize));
    kept.UserClick(kIdKeptSave);
  };
  ui::SetScriptedAnswers({"1", target});
  dialog.UserClick(kIdLogKept);
  ASSERT_EQ(modals_, (std::vector<int>{kDialogOkId, kKeptDialogId}));
  EXPECT_EQ(shown, (std::vector<std::string>{"01.02.01  10:01", platform::Utf8ToCp932("匿名メール"),
                                             "sender1@example.jp",
                                             platform::Utf8ToCp932("件名") + "1",
                                             std::to_string(message.size()) +
                                                 platform::Utf8ToCp932(" バイト  (") + name +
                                                 ".eml)"}));
  EXPECT_EQ(test::ReadHostFile(target), message);
  EXPECT_FALSE(state_.file_dialog_open);
  // The log itself is untouched.
  EXPECT_EQ(test::ReadHostFile(LogHost()), log);
}

}  // namespace
}  // namespace zvrx
