// The list pages offscreen, in process: loading the list file, Add, Change,
// Delete and Read through simulated input, and the close with its question,
// the list file written byte for byte and the checker's delivery.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/cp932.h"
#include "platform/ui/transcript.h"
#include "platform/ui/window.h"
#include "settings/message_dialogs.h"
#include "settings/pages/list_page.h"
#include "settings/pages/page_window.h"
#include "shared/list_files.h"
#include "shared/transfer_checker.h"
#include "tests/gui/page_fixture.h"
#include "tests/support/sjis.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace ui = platform::ui;

using test::Sjis;

// A 60-byte address: wider than the list box shows.
const std::string kLongAddress = std::string(50, 'l') + "@long.test";

class ListPageTest : public test::PageFixture {
 protected:
  std::string ListFile(PageKind kind) const {
    return prefix_.DataFolderHost() + "/" +
           (kind == PageKind::kAcceptanceList ? kAcceptanceListName : kRejectionListName);
  }

  ui::Dialog& Open(PageKind kind) {
    kind_ = kind;
    MakeFrame(kind == PageKind::kAcceptanceList ? "YoninList" : "KyohiList", "", 400, 340);
    ui::Dialog& dialog = CreatePage(MakeListPage(state_, kind));
    frame_->Show();
    return dialog;
  }

  std::vector<std::string> Shown(ui::Dialog& dialog) {
    std::vector<std::string> texts;
    for (int i = 0; i < dialog.ListCount(kListIdEntries); ++i) {
      texts.push_back(dialog.ListText(kListIdEntries, i));
    }
    return texts;
  }

  void Type(ui::Dialog& dialog, const std::string& text) { dialog.UserType(kListIdEdit, text); }

  PageKind kind_ = PageKind::kAcceptanceList;
};

TEST_F(ListPageTest, EditsAndSavesTheAcceptanceListForTheChecker) {
  test::WriteHostFile(ListFile(PageKind::kAcceptanceList),
                      "first@a.test\r\n" + kLongAddress + "\r\nthird@c.test\r\n");
  CheckerTransfer checker;
  ASSERT_TRUE(CreateBlock(checker));

  ui::Dialog& dialog = Open(PageKind::kAcceptanceList);
  EXPECT_EQ(dialog.GetItemText(kListIdGroup), Sjis("受信容認リスト"));
  std::vector<std::string> shown = Shown(dialog);
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0], "first@a.test");
  // The long entry is shortened to the list box's width, ending in dots.
  EXPECT_LT(shown[1].size(), kLongAddress.size());
  EXPECT_EQ(shown[1].substr(shown[1].size() - 3), "...");
  EXPECT_EQ(shown[1].substr(0, shown[1].size() - 3), kLongAddress.substr(0, shown[1].size() - 3));
  EXPECT_EQ(state_.changed_marks, 0);

  // Add: the edit box empties and nothing stays selected.
  Type(dialog, "added@d.test");
  dialog.UserClick(kListIdAdd);
  EXPECT_EQ(dialog.ListCount(kListIdEntries), 4);
  EXPECT_EQ(dialog.ListText(kListIdEntries, 3), "added@d.test");
  EXPECT_EQ(dialog.GetItemText(kListIdEdit), "");
  EXPECT_EQ(dialog.ListSelection(kListIdEntries), -1);
  EXPECT_EQ(state_.changed_marks, kChangedAcceptanceList);

  // Change the long entry: its full text comes up, the other buttons wait.
  dialog.UserSelectListItem(kListIdEntries, 1);
  dialog.UserClick(kListIdChange);
  EXPECT_EQ(dialog.GetItemText(kListIdEdit), kLongAddress);
  for (int id : {kListIdAdd, kListIdDelete, kListIdRead}) EXPECT_FALSE(dialog.IsItemEnabled(id));
  Type(dialog, "second@b.test");
  dialog.UserClick(kListIdChange);
  EXPECT_EQ(dialog.ListText(kListIdEntries, 1), "second@b.test");
  for (int id : {kListIdAdd, kListIdDelete, kListIdRead}) EXPECT_TRUE(dialog.IsItemEnabled(id));

  // Delete the third; the entry now at its place is selected.
  dialog.UserSelectListItem(kListIdEntries, 2);
  dialog.UserClick(kListIdDelete);
  EXPECT_EQ(Shown(dialog), (std::vector<std::string>{"first@a.test", "second@b.test",
                                                      "added@d.test"}));
  EXPECT_EQ(dialog.ListSelection(kListIdEntries), 2);

  ASSERT_TRUE(CloseAnswering({"YES"}));
  EXPECT_EQ(modals_, std::vector<int>{kDialogOkNoCancelId});
  EXPECT_EQ(LastQuestion(),
            Sjis("受信容認リストの変更を保存しますか？\n").substr(0, LastQuestion().size()));
  EXPECT_EQ(test::ReadHostFile(ListFile(PageKind::kAcceptanceList)),
            "first@a.test\r\nsecond@b.test\r\nadded@d.test\r\n");
  EXPECT_EQ(state_.changed_marks, 0);
  // The delivery asked for the acceptance list; the record keeps no flag of it.
  const DeliveryResult delivery = ConsumeSettings(checker);
  EXPECT_TRUE(delivery.taken);
  EXPECT_EQ(delivery.list_reload, ListReload::kAcceptance);
  EXPECT_EQ(state_.records.mailer.list_reload_flags, 0);
}

// The question comes only when the rebuilt text differs from the file; "No"
// and "Cancel" leave the file as it was.
TEST_F(ListPageTest, AsksOnlyWhenTheTextDiffers) {
  struct Case {
    const char* why;
    std::string file;
    bool add_and_delete;
    std::vector<std::string> answers;
    bool asked;
    bool closes;
  };
  const Case cases[] = {
      {"untouched", "a@x.test\r\n", false, {}, false, true},
      {"added and deleted again", "a@x.test\r\n", true, {}, false, true},
      {"added and deleted, file without a last CR LF", "a@x.test", true, {"NO"}, true, true},
      {"cancelled", "a@x.test", true, {"CANCEL"}, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    modals_.clear();
    test::WriteHostFile(ListFile(PageKind::kAcceptanceList), c.file);
    ui::Dialog& dialog = Open(PageKind::kAcceptanceList);
    if (c.add_and_delete) {
      Type(dialog, "b@y.test");
      dialog.UserClick(kListIdAdd);
      dialog.UserSelectListItem(kListIdEntries, 1);
      dialog.UserClick(kListIdDelete);
    }
    EXPECT_EQ(CloseAnswering(c.answers), c.closes);
    EXPECT_EQ(modals_.size(), c.asked ? 1u : 0u);
    EXPECT_EQ(test::ReadHostFile(ListFile(PageKind::kAcceptanceList)), c.file);
    page_.reset();
    frame_.reset();
    state_.changed_marks = 0;
  }
}

// A list file that cannot be written keeps the page open with its entries
// and tells the checker nothing; "No" then lets it go.
TEST_F(ListPageTest, AFailedSaveKeepsThePageOpen) {
  CheckerTransfer checker;
  ASSERT_TRUE(CreateBlock(checker));
  ui::Dialog& dialog = Open(PageKind::kAcceptanceList);
  std::filesystem::remove_all(prefix_.DataFolderHost());
  Type(dialog, "kept@x.test");
  dialog.UserClick(kListIdAdd);
  EXPECT_FALSE(CloseAnswering({"YES"}));
  EXPECT_EQ(Shown(dialog), std::vector<std::string>{"kept@x.test"});
  EXPECT_EQ(state_.changed_marks, kChangedAcceptanceList);
  EXPECT_FALSE(ConsumeSettings(checker).taken);
  EXPECT_EQ(state_.records.mailer.list_reload_flags, 0);
  EXPECT_TRUE(CloseAnswering({"NO"}));
}

// Add takes 59 bytes on the rejection page, Change up to 255.
TEST_F(ListPageTest, RejectionPageLimitsAndItsOwnFile) {
  ui::Dialog& dialog = Open(PageKind::kRejectionList);
  EXPECT_EQ(dialog.GetItemText(kListIdGroup), Sjis("受信拒否リスト"));
  Type(dialog, std::string(70, 'r'));
  dialog.UserClick(kListIdAdd);
  Type(dialog, "s@x.test");
  dialog.UserClick(kListIdAdd);
  EXPECT_EQ(state_.changed_marks, kChangedRejectionList);
  dialog.UserSelectListItem(kListIdEntries, 1);
  dialog.UserClick(kListIdChange);
  Type(dialog, std::string(300, 't'));
  dialog.UserClick(kListIdChange);
  ASSERT_TRUE(CloseAnswering({"YES"}));
  EXPECT_EQ(test::ReadHostFile(ListFile(PageKind::kRejectionList)),
            std::string(59, 'r') + "\r\n" + std::string(255, 't') + "\r\n");
  EXPECT_EQ(test::ReadHostFile(ListFile(PageKind::kAcceptanceList)), "");
  EXPECT_EQ(state_.records.mailer.list_reload_flags, 0);
}

// Change, emptied edit box, Change again: the entry stays, nothing changed.
TEST_F(ListPageTest, ChangeWithAnEmptiedEditBoxKeepsTheEntry) {
  test::WriteHostFile(ListFile(PageKind::kAcceptanceList), "keep@x.test\r\n");
  ui::Dialog& dialog = Open(PageKind::kAcceptanceList);
  dialog.UserSelectListItem(kListIdEntries, 0);
  dialog.UserClick(kListIdChange);
  Type(dialog, "");
  dialog.UserClick(kListIdChange);
  EXPECT_EQ(Shown(dialog), std::vector<std::string>{"keep@x.test"});
  EXPECT_TRUE(dialog.IsItemEnabled(kListIdAdd));
  EXPECT_EQ(state_.changed_marks, 0);
  EXPECT_TRUE(CloseAnswering({}));
  EXPECT_TRUE(modals_.empty());
}

TEST_F(ListPageTest, ReadTakesAddressesFromATextFile) {
  const std::string text_file = prefix_.path() + "/addresses.txt";
  test::WriteHostFile(text_file, "To: <one@a.test>, two@b.test. (three@c.test)\r\n");
  ui::Dialog& dialog = Open(PageKind::kAcceptanceList);

  // While another page's file dialog is up, Read does nothing.
  state_.file_dialog_open = true;
  ui::SetScriptedAnswers({text_file});
  dialog.UserFocus(kListIdRead);
  dialog.UserClick(kListIdRead);
  EXPECT_EQ(dialog.ListCount(kListIdEntries), 0);
  state_.file_dialog_open = false;

  dialog.UserFocus(kListIdRead);
  dialog.UserClick(kListIdRead);
  EXPECT_EQ(Shown(dialog),
            (std::vector<std::string>{"one@a.test", "two@b.test.", "three@c.test"}));
  EXPECT_FALSE(state_.file_dialog_open);
  EXPECT_EQ(state_.changed_marks, kChangedAcceptanceList);
}

TEST_F(ListPageTest, ReadStopsAtFifteenHundredWithTheNotice) {
  std::string list;
  for (int i = 0; i < 1499; ++i) list += "u" + std::to_string(i) + "@x.test\r\n";
  test::WriteHostFile(ListFile(PageKind::kAcceptanceList), list);
  const std::string text_file = prefix_.path() + "/three.txt";
  test::WriteHostFile(text_file, "a@x.test b@x.test c@x.test");
  ui::Dialog& dialog = Open(PageKind::kAcceptanceList);
  ui::SetScriptedAnswers({text_file, "OK"});
  dialog.UserFocus(kListIdRead);
  dialog.UserClick(kListIdRead);
  EXPECT_EQ(dialog.ListCount(kListIdEntries), 1500);
  EXPECT_EQ(dialog.ListText(kListIdEntries, 1499), "a@x.test");
  EXPECT_EQ(modals_, std::vector<int>{kNoticeDialogId});
}

TEST_F(ListPageTest, EditMenuFollowsTheEditBox) {
  ui::Dialog& dialog = Open(PageKind::kAcceptanceList);
  Type(dialog, "abc@x.test");
  dialog.SetEditSelection(kListIdEdit, 0, 0);
  page_->OnEditMenuOpening(*frame_);
  EXPECT_FALSE(frame_->IsMenuItemEnabled(kCmdCut));
  EXPECT_FALSE(frame_->IsMenuItemEnabled(kCmdCopy));
  dialog.SetEditSelection(kListIdEdit, 0, -1);
  page_->OnEditMenuOpening(*frame_);
  EXPECT_TRUE(frame_->IsMenuItemEnabled(kCmdCut));
  page_->OnEditCommand(kCmdCut);
  EXPECT_EQ(dialog.GetItemText(kListIdEdit), "");
}

}  // namespace
}  // namespace zvrx
