// The judgment conditions page offscreen: the dictionary boxes over the
// Method folder and their scrolling, strictness and the handling lists, the
// European-languages dialog, and the save question with the delivery of the
// language-options changed flag to a real block.
#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <ostream>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QStyle>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include "platform/cp932.h"
#include "platform/ui/transcript.h"
#include "platform/ui/window.h"
#include "settings/message_dialogs.h"
#include "settings/message_table.h"
#include "settings/pages/judgment_page.h"
#include "settings/pages/page_window.h"
#include "shared/extension_settings.h"
#include "shared/record_files.h"
#include "shared/transfer_checker.h"
#include "tests/gui/page_fixture.h"
#include "platform/files.h"
#include "platform/ui/dialog_template.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace ui = platform::ui;

constexpr int kBoxes[] = {1048, 1049, 1050, 1051, 1052, 1053};

class JudgmentPageTest : public test::PageFixture {
 protected:
  void MethodFiles(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      test::WriteHostFile(prefix_.InstallRootHost() + "/Method/" + name, "x");
    }
  }

  // Shown before the page is built, as the program does.
  ui::Dialog& Open() {
    ui::Frame& frame = MakeFrame("HanteiJoken", PageNameJudgment(), 350, 450);
    frame.Move(100, 50);
    frame.Show();
    return CreatePage(MakeJudgmentPage(state_));
  }

  JudgmentSettings& judgment() { return state_.records.judgment; }
};

TEST_F(JudgmentPageTest, OpensWithListsStrictnessAndTheQualifyingDictionaries) {
  MethodFiles({"3lib.dat", "2english", "1Japanese.dat", "Xwords.dat", "4..dat"});
  judgment().strictness = 1;
  judgment().foreign_handling = 2;
  judgment().unknown_format_handling = 1;
  std::strcpy(judgment().disabled_dictionaries[4], "2english");
  ui::Dialog& dialog = Open();

  EXPECT_EQ(dialog.ComboSelection(kIdForeignHandling), 2);
  EXPECT_EQ(dialog.ComboSelection(kIdUnknownFormatHandling), 1);
  EXPECT_FALSE(dialog.IsButtonChecked(kIdLenient));
  EXPECT_FALSE(dialog.IsButtonChecked(kIdStandard));
  EXPECT_TRUE(dialog.IsButtonChecked(kIdStrict));

  EXPECT_EQ(dialog.GetItemText(1048), "1Japanese.dat");
  EXPECT_TRUE(dialog.IsButtonChecked(1048));
  EXPECT_NE(dialog.ButtonState(1048) & ui::kBstPushed, 0);
  EXPECT_EQ(dialog.GetItemText(1049), "2english");
  EXPECT_FALSE(dialog.IsButtonChecked(1049));
  for (int id : {1050, 1051, 1052, 1053}) EXPECT_FALSE(dialog.IsItemShown(id)) << id;
  EXPECT_FALSE(dialog.IsItemEnabled(kIdDictionaryScroll));
  EXPECT_TRUE(CloseAnswering({}));
  EXPECT_TRUE(modals_.empty());
}

TEST_F(JudgmentPageTest, WithoutAMethodFolderTheBoxesAreBlankAndTheRestWorks) {
  ui::Dialog& dialog = Open();
  for (int id : kBoxes) EXPECT_FALSE(dialog.IsItemShown(id)) << id;
  EXPECT_FALSE(dialog.IsItemEnabled(kIdDictionaryScroll));
  dialog.UserClick(kIdLenient);
  EXPECT_EQ(judgment().strictness, -1);
  EXPECT_TRUE(dialog.IsButtonChecked(kIdLenient));
  EXPECT_FALSE(dialog.IsButtonChecked(kIdStandard));
}

TEST_F(JudgmentPageTest, ScrollingShowsLaterNamesAndTogglesTheEntryShown) {
  MethodFiles({"1a", "2b", "3c", "4d", "5e", "6f", "7g", "8h"});
  ui::Dialog& dialog = Open();
  ASSERT_TRUE(dialog.IsItemEnabled(kIdDictionaryScroll));

  dialog.UserScroll(kIdDictionaryScroll, ui::kSbThumbPosition, 4);
  EXPECT_EQ(dialog.ScrollPos(kIdDictionaryScroll), 8);
  EXPECT_EQ(dialog.GetItemText(1048), "3c");
  EXPECT_EQ(dialog.GetItemText(1053), "8h");

  // The first box now stands for the third entry.
  dialog.UserClick(1048);
  EXPECT_FALSE(dialog.IsButtonChecked(1048));
  EXPECT_EQ(dialog.FocusedItem(), kIdFocusSink);
  EXPECT_STREQ(judgment().disabled_dictionaries[0], "3c");

  dialog.UserScroll(kIdDictionaryScroll, ui::kSbTop, 0);
  EXPECT_EQ(dialog.ScrollPos(kIdDictionaryScroll), 0);
  EXPECT_EQ(dialog.GetItemText(1050), "3c");
  EXPECT_FALSE(dialog.IsButtonChecked(1050));
  EXPECT_TRUE(dialog.IsButtonChecked(1048));

  dialog.UserClick(1050);
  EXPECT_TRUE(dialog.IsButtonChecked(1050));
  EXPECT_EQ(judgment().disabled_dictionaries[0][0], '\0');
}

TEST_F(JudgmentPageTest, NordicBoxStandsForThreeEntriesAndBalticForTwo) {
  judgment().european_charsets[10][0] = 1;
  judgment().european_charsets[12][0] = 1;  // 11 is out of step: the box follows 10
  judgment().european_charsets[1][0] = 1;
  ui::Dialog& page = Open();
  (void)page;

  ui::PixelRect european{};
  int focused = 0;
  bool nordic_shown_ticked = false;
  on_modal_ = [&](ui::Dialog& dialog) {
    european = dialog.Rect();
    focused = dialog.FocusedItem();
    nordic_shown_ticked = dialog.IsButtonChecked(kIdNordic);
    dialog.UserClick(kIdNordic);
    dialog.UserClick(kIdBalticCeltic);
  };
  ui::SetScriptedAnswers({"OK"});
  page.UserClick(kIdEuropeanOptions);

  ASSERT_EQ(modals_, std::vector<int>{kEuropeanDialogId});
  EXPECT_TRUE(nordic_shown_ticked);
  EXPECT_EQ(focused, ui::kIdCancel);
  const ui::PixelRect frame = frame_->Rect();
  // Within the few pixels of window frame the system adds once it is shown.
  EXPECT_NEAR(european.x + european.width / 2.0, frame.x + frame.width / 2.0, 4.0);
  for (int n : {10, 11, 12}) EXPECT_EQ(judgment().european_charsets[n][0], 0) << n;
  for (int n : {13, 14}) EXPECT_EQ(judgment().european_charsets[n][0], 1) << n;
  EXPECT_EQ(judgment().european_charsets[1][0], 1);
  EXPECT_EQ(judgment().european_charsets[15][0], 0);
  EXPECT_EQ(judgment().languages_changed, 1);
  EXPECT_NE(state_.changed_marks & kChangedJudgment, 0);
}

TEST_F(JudgmentPageTest, CancelledOrUnchangedEuropeanChoicesAskNothingAtClose) {
  judgment().european_charsets[9][0] = 1;
  ui::Dialog& page = Open();
  ui::SetScriptedAnswers({"CANCEL"});
  page.UserClick(kIdEuropeanOptions);
  EXPECT_EQ(judgment().languages_changed, 0);
  EXPECT_EQ(state_.changed_marks & kChangedJudgment, 0);
  // "OK" without a change raises the flag, but nothing differs at close.
  ui::SetScriptedAnswers({"OK"});
  page.UserClick(kIdEuropeanOptions);
  EXPECT_EQ(judgment().languages_changed, 1);
  EXPECT_TRUE(CloseAnswering({}));
  EXPECT_EQ(modals_.size(), 2u);
  EXPECT_EQ(judgment().languages_changed, 0);
}

TEST_F(JudgmentPageTest, YesDeliversTheChangedFlagAndSavesItAsZero) {
  CheckerTransfer checker;
  ASSERT_TRUE(CreateBlock(checker));
  MethodFiles({"1Japanese.dat", "2english"});
  ui::Dialog& page = Open();
  page.UserClick(1049);  // switch "2english" off
  on_modal_ = [](ui::Dialog& dialog) {
    if (dialog.TemplateId() == kEuropeanDialogId) dialog.UserClick(kIdTurkish);
  };
  ui::SetScriptedAnswers({"OK"});
  page.UserClick(kIdEuropeanOptions);

  EXPECT_TRUE(CloseAnswering({"YES"}));
  EXPECT_EQ(modals_, (std::vector<int>{kEuropeanDialogId, kDialogOkNoCancelId}));

  const DeliveryResult delivery = ConsumeSettings(checker);
  ASSERT_TRUE(delivery.taken);
  EXPECT_TRUE(delivery.languages_changed);
  EXPECT_EQ(checker.records.judgment.languages_changed, 1);
  EXPECT_EQ(checker.records.judgment.european_charsets[9][0], 1);

  const std::string saved = test::ReadHostFile(prefix_.DataFolderHost() + "/ZVdi128");
  ASSERT_EQ(saved.size(), sizeof(JudgmentSettings));
  JudgmentSettings file{};
  std::memcpy(&file, saved.data(), sizeof file);
  EXPECT_EQ(file.languages_changed, 0);
  EXPECT_EQ(file.european_charsets[9][0], 1);
  EXPECT_STREQ(file.disabled_dictionaries[0], "2english");
  EXPECT_EQ(judgment().languages_changed, 0);
  EXPECT_EQ(state_.changed_marks & kChangedJudgment, 0);
}

TEST_F(JudgmentPageTest, SwitchedDictionaryAloneRaisesTheFlagInTheDelivery) {
  CheckerTransfer checker;
  ASSERT_TRUE(CreateBlock(checker));
  MethodFiles({"1Japanese.dat"});
  ui::Dialog& page = Open();
  page.UserClick(1048);
  EXPECT_TRUE(CloseAnswering({"YES"}));
  const DeliveryResult delivery = ConsumeSettings(checker);
  EXPECT_TRUE(delivery.languages_changed);
  EXPECT_STREQ(checker.records.judgment.disabled_dictionaries[0], "1Japanese.dat");
}

TEST_F(JudgmentPageTest, NoRestoresTheSnapshotAndCancelStaysOpen) {
  judgment().foreign_handling = 0;
  ui::Dialog& page = Open();
  page.UserChoose(kIdForeignHandling, 2);
  page.UserClick(kIdStrict);
  EXPECT_EQ(judgment().foreign_handling, 2);
  EXPECT_EQ(judgment().strictness, 1);

  EXPECT_FALSE(CloseAnswering({"CANCEL"}));
  EXPECT_EQ(judgment().strictness, 1);
  EXPECT_TRUE(CloseAnswering({"NO"}));
  EXPECT_EQ(judgment().foreign_handling, 0);
  EXPECT_EQ(judgment().strictness, 0);
  EXPECT_EQ(test::ReadHostFile(prefix_.DataFolderHost() + "/ZVdi128"), "");
}

TEST_F(JudgmentPageTest, HandlingChosenWithTheKeyboardOnTheClosedListIsKept) {
  // A value no list entry stands for shows no choice and stays as it is.
  judgment().foreign_handling = 7;
  judgment().unknown_format_handling = 1;
  ui::Dialog& page = Open();
  EXPECT_EQ(page.ComboSelection(kIdForeignHandling), -1);
  EXPECT_EQ(judgment().foreign_handling, 7);
  EXPECT_EQ(state_.changed_marks & kChangedJudgment, 0);

  frame_->Focus();
  page.UserFocus(kIdUnknownFormatHandling);
  QWidget* list = QApplication::focusWidget();
  ASSERT_NE(list, nullptr);
  ASSERT_FALSE(page.ComboIsDroppedDown(kIdUnknownFormatHandling));
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(page.ComboSelection(kIdUnknownFormatHandling), 2);
  EXPECT_EQ(judgment().unknown_format_handling, 2);
  EXPECT_NE(state_.changed_marks & kChangedJudgment, 0);
}

TEST_F(JudgmentPageTest, EveryEditItemIsGreyed) {
  Open();
  page_->OnEditMenuOpening(*frame_);
  for (int command : {kCmdUndo, kCmdCopy, kCmdPaste, kCmdCut}) {
    EXPECT_FALSE(frame_->IsMenuItemEnabled(command)) << command;
  }
}

// The switches of ZVRXExt.ini, one box each. Every case below runs for each
// box: a fault in the shared load/save/discard of one entry shows as that
// box's failure.
struct ExtensionBoxCase {
  const char* key;
  int id;
  const char* label;  // UTF-8
};
constexpr ExtensionBoxCase kExtensionBoxCases[] = {
    {kModernMailKey, kIdModernMail, "UTF-8 と Base64 のメールも解析する"},
    {kLearnedJudgmentKey, kIdLearnedJudgment, "学習した語の重みでも判定する"},
    {kBrandCheckKey, kIdBrandCheck, "企業名とドメインの食い違いも採点する"},
    {kQuotedWarningsKey, kIdQuotedWarnings, "詐欺メールを引用した注意喚起は引用を除いて判定する"},
};

// Test names and failures name the box by its key.
void PrintTo(const ExtensionBoxCase& box, std::ostream* out) { *out << box.key; }

// A file as a user and zvrxctl leave it: comments, every switch on, and a
// key this program does not know.
constexpr char kAllOnFile[] =
    "# switched on by hand after the upgrade\n"
    "modern_mail = on\n"
    "# learned weights from the spring corpus\n"
    "learned_judgment = on\n"
    "brand_check = on\n"
    "quoted_warnings = on\n"
    "future_option = 7\n";

std::string WithValue(std::string text, const std::string& key, const char* value) {
  const std::string line = key + " = on\n";
  const size_t at = text.find(line);
  if (at != std::string::npos) text.replace(at, line.size(), key + " = " + value + "\n");
  return text;
}

class JudgmentExtensionBoxTest : public JudgmentPageTest,
                                 public ::testing::WithParamInterface<ExtensionBoxCase> {
 protected:
  std::string IniHost() const { return prefix_.DataFolderHost() + "/" + kExtensionSettingsName; }
  // The box after this one in the table: another switch of the same file.
  static const ExtensionBoxCase& Other() {
    const size_t n = std::size(kExtensionBoxCases);
    for (size_t i = 0; i < n; ++i) {
      if (kExtensionBoxCases[i].id == GetParam().id) return kExtensionBoxCases[(i + 1) % n];
    }
    return kExtensionBoxCases[0];
  }
};

// The box shows the file's value, the others theirs; Yes writes the one key
// the user changed and leaves every other line, comments and the unknown
// key byte for byte.
TEST_P(JudgmentExtensionBoxTest, ShowsTheFileAndYesChangesOnlyItsLine) {
  const ExtensionBoxCase& box = GetParam();
  const std::string before = WithValue(kAllOnFile, box.key, "off");
  test::WriteHostFile(IniHost(), before);
  ui::Dialog& page = Open();
  EXPECT_EQ(page.GetItemText(box.id), platform::Utf8ToCp932(box.label));
  for (const ExtensionBoxCase& each : kExtensionBoxCases) {
    EXPECT_EQ(page.IsButtonChecked(each.id), each.id != box.id) << each.key;
  }
  page.UserClick(box.id);
  EXPECT_TRUE(page.IsButtonChecked(box.id));
  EXPECT_NE(state_.changed_marks & kChangedJudgment, 0);
  EXPECT_TRUE(CloseAnswering({"YES"}));
  EXPECT_NE(LastQuestion(), "");
  EXPECT_EQ(test::ReadHostFile(IniHost()), kAllOnFile);
  EXPECT_TRUE(page.IsButtonChecked(box.id));
}

// Without a file every box shows its default, on; No puts a change back
// and writes nothing.
TEST_P(JudgmentExtensionBoxTest, NoPutsTheBoxBackAndWritesNothing) {
  const ExtensionBoxCase& box = GetParam();
  ui::Dialog& page = Open();
  for (const ExtensionBoxCase& each : kExtensionBoxCases) EXPECT_TRUE(page.IsButtonChecked(each.id));
  page.UserClick(box.id);
  EXPECT_FALSE(page.IsButtonChecked(box.id));
  EXPECT_TRUE(CloseAnswering({"NO"}));
  EXPECT_NE(LastQuestion(), "");
  EXPECT_TRUE(page.IsButtonChecked(box.id));
  EXPECT_FALSE(platform::FileExists(ExtensionSettingsPath()));
}

// Switched and switched back, nothing changed: no question.
TEST_P(JudgmentExtensionBoxTest, ToggledBackAsksNothing) {
  ui::Dialog& page = Open();
  page.UserClick(GetParam().id);
  page.UserClick(GetParam().id);
  EXPECT_TRUE(CloseAnswering({}));
  EXPECT_EQ(LastQuestion(), "");
}

// zvrxctl switches another key while the page is open: saving the page's
// change keeps that key as zvrxctl set it, and the page then shows it.
TEST_P(JudgmentExtensionBoxTest, SavingKeepsAKeyAnotherProgramChangedMeanwhile) {
  const ExtensionBoxCase& box = GetParam();
  test::WriteHostFile(IniHost(), kAllOnFile);
  ui::Dialog& page = Open();
  ASSERT_EQ(ChangeExtensionSettings({{Other().key, "off"}}), "");
  page.UserClick(box.id);
  EXPECT_TRUE(CloseAnswering({"YES"}));
  EXPECT_EQ(test::ReadHostFile(IniHost()),
            WithValue(WithValue(kAllOnFile, box.key, "off"), Other().key, "off"));
  EXPECT_FALSE(page.IsButtonChecked(box.id));
  EXPECT_FALSE(page.IsButtonChecked(Other().id));
}

// The page opened again reads the file again.
TEST_P(JudgmentExtensionBoxTest, ReopenedPageShowsWhatTheFileHoldsNow) {
  const ExtensionBoxCase& box = GetParam();
  EXPECT_TRUE(Open().IsButtonChecked(box.id));
  EXPECT_TRUE(CloseAnswering({}));
  page_.reset();
  frame_.reset();
  ASSERT_EQ(ChangeExtensionSettings({{box.key, "off"}}), "");
  ui::Dialog& page = Open();
  EXPECT_FALSE(page.IsButtonChecked(box.id));
  EXPECT_TRUE(page.IsButtonChecked(Other().id));
}

// A file that cannot be read is never replaced: the save is refused with a
// line on standard error, the folder in its place stays, and the box shows
// what the checker will use (the default) rather than the refused choice.
TEST_P(JudgmentExtensionBoxTest, RefusedSaveIsReportedAndTheBoxShowsTheFile) {
  const ExtensionBoxCase& box = GetParam();
  ASSERT_TRUE(platform::CreateFolder(ExtensionSettingsPath()));
  ui::Dialog& page = Open();
  EXPECT_TRUE(page.IsButtonChecked(box.id));
  page.UserClick(box.id);
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(CloseAnswering({"YES"}));
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("MailZevrox: ZVRXExt.ini: "), std::string::npos) << said;
  EXPECT_NE(said.find("nothing was written"), std::string::npos) << said;
  EXPECT_TRUE(platform::FolderExists(ExtensionSettingsPath()));
  EXPECT_TRUE(page.IsButtonChecked(box.id));
}

INSTANTIATE_TEST_SUITE_P(Boxes, JudgmentExtensionBoxTest, ::testing::ValuesIn(kExtensionBoxCases),
                         [](const ::testing::TestParamInfo<ExtensionBoxCase>& info) {
                           return std::string(info.param.key);
                         });

// The switches stand together in a group of their own below the system's
// groups, inside the page the frame is sized for; each covers no other
// control and its whole text fits beside its tick.
TEST_F(JudgmentPageTest, ExtensionBoxesStandInTheirOwnGroupAndTheirTextsFit) {
  const ui::DialogTemplate* dialog = ui::FindTemplate(resources_.dialogs, kJudgmentDialogId);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(DescribePage(PageKind::kJudgment).height_units, dialog->height);
  const auto is_box = [](int id) {
    for (const ExtensionBoxCase& box : kExtensionBoxCases) {
      if (box.id == id) return true;
    }
    return false;
  };
  const ui::ControlTemplate* group = nullptr;
  int written_bottom = 0;
  for (const ui::ControlTemplate& c : dialog->controls) {
    if (c.kind == ui::ControlKind::kGroupBox && (group == nullptr || c.y > group->y)) group = &c;
  }
  ASSERT_NE(group, nullptr);
  for (const ui::ControlTemplate& c : dialog->controls) {
    if (&c == group || is_box(c.id)) continue;
    const int height = c.kind == ui::ControlKind::kComboBox ? 14 : c.height;
    written_bottom = std::max(written_bottom, c.y + height);
  }
  EXPECT_GE(group->y, written_bottom);
  EXPECT_LE(group->y + group->height, dialog->height - 2);

  ui::Dialog& page = Open();
  const int tick = QApplication::style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                   QApplication::style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
  for (const ExtensionBoxCase& box : kExtensionBoxCases) {
    const ui::ControlTemplate* mine = nullptr;
    for (const ui::ControlTemplate& c : dialog->controls) {
      if (c.id == box.id) mine = &c;
    }
    ASSERT_NE(mine, nullptr) << box.key;
    EXPECT_GE(mine->x, group->x + 2) << box.key;
    EXPECT_LE(mine->x + mine->width, group->x + group->width - 2) << box.key;
    EXPECT_GE(mine->y, group->y + 8) << box.key;
    EXPECT_LE(mine->y + mine->height, group->y + group->height - 2) << box.key;
    for (const ui::ControlTemplate& other : dialog->controls) {
      if (&other == mine || &other == group) continue;
      const bool apart = mine->x + mine->width <= other.x || other.x + other.width <= mine->x ||
                         mine->y + mine->height <= other.y || other.y + other.height <= mine->y;
      EXPECT_TRUE(apart) << box.key << " covers " << other.id;
    }
    EXPECT_LE(tick + page.TextWidth(box.id, platform::Utf8ToCp932(box.label)),
              page.ItemRect(box.id).width)
        << box.key;
  }
}

}  // namespace
}  // namespace zvrx
