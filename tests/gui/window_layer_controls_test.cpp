// Controls by id: every kind of the templates is built and read back, and
// typing, choosing, scrolling and timers send what Windows sends.
#include <QApplication>
#include <QAbstractItemView>
#include <QClipboard>
#include <QComboBox>
#include <QListWidget>
#include <QTest>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QVariant>

#include "platform/ui/window.h"
#include "tests/gui/window_layer_fixture.h"

namespace zvrx::test {
namespace {

TEST(DialogTemplateKindsTest, ReadsEveryKindAndFlagAndNamesTheBadLine) {
  std::vector<ui::DialogTemplate> templates;
  std::string error;
  ASSERT_TRUE(ui::ParseDialogTemplates(kPageText, templates, &error)) << error;
  ASSERT_EQ(templates.size(), 1u);
  const ui::DialogTemplate& page = templates[0];
  EXPECT_TRUE(page.child);
  EXPECT_EQ(page.controls.size(), 22u);
  EXPECT_EQ(page.controls[1].kind, ui::ControlKind::kLeftText);
  EXPECT_EQ(page.controls[1].flags, ui::kControlNoWrap);
  EXPECT_EQ(page.controls[7].flags, ui::kControlPassword | ui::kControlReadOnly);
  EXPECT_EQ(page.controls[17].kind, ui::ControlKind::kFrame);
  EXPECT_EQ(page.controls[18].id, -1);

  const struct {
    const char* text;
    const char* error;
  } kBroken[] = {
      {"DIALOG 1 \"\" 0 0 9 9\nLTEXT 2 \"\" 0 0 1 1 BOLD\nEND\n", "line 2: unknown control flag BOLD"},
      {"DIALOG 1 \"\" 0 0 9 9 POPUP\nEND\n", "line 1: unknown dialog style POPUP"},
      {"\nDIALOG 1 \"\" 0 0 9 9\nSLIDER 2 \"\" 0 0 1 1\nEND\n", "line 3: unknown control kind"},
      {"MENU 5\nPOPUP \"x\"\nEND\n", "line 3: no END of a menu"},
  };
  for (const auto& c : kBroken) {
    templates.clear();
    EXPECT_FALSE(ui::ParseDialogTemplates(c.text, templates, &error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
    EXPECT_TRUE(templates.empty()) << c.text;
  }
}

TEST(DialogTemplateKindsTest, MenusAndDialogsShareAFileEachParserSkippingTheOther) {
  const std::string text = std::string(kMenuText) + kPageText;
  std::vector<ui::DialogTemplate> templates;
  std::vector<ui::MenuTemplate> menus;
  std::vector<ui::AcceleratorTable> tables;
  std::string error;
  ASSERT_TRUE(ui::ParseDialogTemplates(text, templates, &error)) << error;
  ASSERT_TRUE(ui::ParseMenus(text, menus, tables, &error)) << error;
  ASSERT_EQ(templates.size(), 1u);
  ASSERT_EQ(menus.size(), 1u);
  const ui::MenuTemplate& menu = menus[0];
  ASSERT_EQ(menu.bar.size(), 3u);
  EXPECT_EQ(menu.bar[0].id, 65535);
  EXPECT_TRUE(menu.bar[0].text.empty());
  ASSERT_EQ(menu.bar[2].items.size(), 3u);
  EXPECT_EQ(menu.bar[2].items[0].text, Sjis("元に戻す\tCtrl+Z"));
  EXPECT_TRUE(menu.bar[2].items[1].separator);
  const ui::AcceleratorTable* table = ui::FindAccelerators(tables, 128);
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->entries.size(), 2u);
  EXPECT_EQ(table->entries[0].key, 0x23);
  EXPECT_EQ(table->entries[1].kind, ui::AcceleratorKind::kCharacter);
}

TEST(DialogTemplateKindsTest, FolderLoadsEveryDialogFileInNameOrder) {
  std::vector<ui::DialogTemplate> templates;
  std::string error;
  ASSERT_TRUE(ui::LoadDialogTemplateFolder(":/settings", templates, &error)) << error;
  EXPECT_NE(ui::FindTemplate(templates, 101), nullptr);
  EXPECT_NE(ui::FindTemplate(templates, 140), nullptr);

  QTemporaryDir dir;
  auto write = [&](const char* name, const char* text) {
    FILE* file = std::fopen((dir.path().toStdString() + "/" + name).c_str(), "w");
    std::fputs(text, file);
    std::fclose(file);
  };
  write("b.dlg", "DIALOG 2 \"\" 0 0 1 1\nEND\n");
  write("a.dlg", "DIALOG 1 \"\" 0 0 1 1\nEND\n");
  write("menus.rc", "not a dialog file");
  templates.clear();
  ASSERT_TRUE(ui::LoadDialogTemplateFolder(dir.path().toStdString(), templates, &error)) << error;
  ASSERT_EQ(templates.size(), 2u);
  EXPECT_EQ(templates[0].id, 1);
  write("c.dlg", "DIALOG 3 \"\" 0 0 1 1\n");
  EXPECT_FALSE(ui::LoadDialogTemplateFolder(dir.path().toStdString(), templates, &error));
  EXPECT_NE(error.find("c.dlg"), std::string::npos) << error;
}

TEST_F(WindowLayerTest, EveryControlIsBuiltAndKeepsItsCp932Text) {
  ui::Dialog& page = OpenPage();
  EXPECT_EQ(events_.inits, 1);
  EXPECT_EQ(page.TemplateId(), 300);
  EXPECT_EQ(page.GetItemText(kLabel), Sjis("左"));
  EXPECT_EQ(page.GetItemText(kGroup), Sjis("グループ"));
  for (int id = kLabel; id <= kDisabled; ++id) {
    const ui::PixelRect rect = page.ItemRect(id);
    EXPECT_GT(rect.width, 0) << id;
    EXPECT_GT(rect.height, 0) << id;
  }
  EXPECT_FALSE(page.IsItemShown(kHidden));
  EXPECT_FALSE(page.IsItemEnabled(kDisabled));
  EXPECT_TRUE(page.IsItemEnabled(kButton));
  QApplication::processEvents();  // the window is exposed
  const int paints = events_.paints;
  page.RedrawItem(0);
  EXPECT_GT(events_.paints, paints);
  // IPAGothic is monospaced: two full-width characters are twice one.
  const int one = page.TextWidth(kLabel, Sjis("あ"));
  EXPECT_GT(one, 0);
  EXPECT_EQ(page.TextWidth(kLabel, Sjis("ああ")), 2 * one);
  // The drop-down list is one line high; its template height is the list's.
  EXPECT_LT(page.ItemRect(kCombo).height, page.ItemRect(kList).height);

  // 0x80 and 0xA0 are no CP932 characters: shown as U+FFFD, kept as set.
  const std::string odd = "a\x80" + Sjis("漢") + "\xA0";
  for (int id : {kLabel, kButton, kEdit, kGroup, kCheck}) {
    page.SetItemText(id, odd);
    EXPECT_EQ(page.GetItemText(id), odd) << id;
  }
  // An edit's text set by the page is not the user's: not modified.
  EXPECT_FALSE(page.IsEditModified(kEdit));
  EXPECT_EQ(events_.commands,
            (std::vector<Notification>{{kEdit, ui::kEnUpdate}, {kEdit, ui::kEnChange}}));
}

TEST_F(WindowLayerTest, ButtonsNotifyAndOnlyAutomaticBoxesTick) {
  ui::Dialog& page = OpenPage();
  for (int id : {kButton, kCheck, kAutoCheck, kRadio, kAutoRadio, kPicture, kDisabled}) {
    page.UserClick(id);
  }
  EXPECT_EQ(events_.commands, (std::vector<Notification>{{kButton, ui::kBnClicked},
                                                         {kCheck, ui::kBnClicked},
                                                         {kAutoCheck, ui::kBnClicked},
                                                         {kRadio, ui::kBnClicked},
                                                         {kAutoRadio, ui::kBnClicked},
                                                         {kPicture, ui::kBnClicked}}));
  EXPECT_FALSE(page.IsButtonChecked(kCheck));
  EXPECT_FALSE(page.IsButtonChecked(kRadio));
  EXPECT_TRUE(page.IsButtonChecked(kAutoCheck));
  EXPECT_TRUE(page.IsButtonChecked(kAutoRadio));
  page.CheckButton(kCheck, true);
  EXPECT_EQ(page.ButtonState(kCheck) & ui::kBstChecked, ui::kBstChecked);
  page.SetButtonHighlight(kPicture, true);
  EXPECT_EQ(page.ButtonState(kPicture) & ui::kBstPushed, ui::kBstPushed);
  page.SetButtonHighlight(kPicture, false);
  EXPECT_EQ(page.ButtonState(kPicture) & ui::kBstPushed, 0);
  EXPECT_EQ(events_.commands.size(), 6u) << "setting a check notifies nothing";
}

TEST_F(WindowLayerTest, TypingMarksTheEditModifiedAndNotifiesUpdateThenChange) {
  ui::Dialog& page = OpenPage();
  page.UserType(kEdit, Sjis("山田"));
  EXPECT_EQ(page.GetItemText(kEdit), Sjis("山田"));
  EXPECT_TRUE(page.IsEditModified(kEdit));
  EXPECT_EQ(events_.commands,
            (std::vector<Notification>{{kEdit, ui::kEnUpdate}, {kEdit, ui::kEnChange}}));
  EXPECT_TRUE(page.CanUndo(kEdit));
  page.Undo(kEdit);
  EXPECT_EQ(page.GetItemText(kEdit), "");
  page.Undo(kEdit);  // one level: a second undo redoes
  EXPECT_EQ(page.GetItemText(kEdit), Sjis("山田"));
  page.SetItemText(kEdit, "x");
  EXPECT_FALSE(page.IsEditModified(kEdit));
  EXPECT_FALSE(page.CanUndo(kEdit));
  // A read-only edit takes no typing.
  page.UserType(kPassword, "secret");
  EXPECT_EQ(page.GetItemText(kPassword), "");
}

TEST_F(WindowLayerTest, TheByteLimitCutsTypedTextAtWholeCharacters) {
  ui::Dialog& page = OpenPage();
  const struct {
    int limit;
    const char* before;
    const char* typed;
    const char* kept;
  } kCases[] = {
      {5, "", "あいう", "あい"},       // 6 bytes into 5: the third would be half
      {5, "", "aあいう", "aあい"},     // exactly 5
      {4, "", "abcd", "abcd"},         // at the limit, nothing cut
      {4, "", "abcde", "abcd"},        // one over
      {3, "", "ｱｲｳｴ", "ｱｲｳ"},          // half-width kana are one byte each
      {2, "", "😀😀😀", "😀😀"},       // no CP932 form: one '?' each, never half a pair
  };
  for (const auto& c : kCases) {
    page.SetItemText(kEdit, Sjis(c.before));
    page.SetEditLimit(kEdit, c.limit);
    events_.commands.clear();
    page.UserType(kEdit, Sjis(c.typed));
    EXPECT_EQ(page.GetItemText(kEdit), Sjis(c.kept)) << c.typed;
    const bool cut = std::string(c.typed) != c.kept;
    EXPECT_EQ(!events_.commands.empty() && events_.commands[0].code == ui::kEnMaxText, cut)
        << c.typed;
  }
  // Full already: a paste adds nothing and changes nothing.
  page.SetEditLimit(kEdit, 4);
  page.SetItemText(kEdit, Sjis("あい"));
  QApplication::clipboard()->setText(QString::fromUtf8("う"));
  page.SetEditSelection(kEdit, 4, 4);
  events_.commands.clear();
  page.Paste(kEdit);
  EXPECT_EQ(page.GetItemText(kEdit), Sjis("あい"));
  EXPECT_FALSE(page.IsEditModified(kEdit));
  EXPECT_EQ(events_.commands, (std::vector<Notification>{{kEdit, ui::kEnMaxText}}));
}

TEST_F(WindowLayerTest, SelectionCountsCp932BytesAndTheClipboardCarriesText) {
  ui::Dialog& page = OpenPage();
  page.SetItemText(kEdit, Sjis("aあb"));
  page.SetEditSelection(kEdit, 1, 3);
  int start = 0, end = 0;
  page.GetEditSelection(kEdit, start, end);
  EXPECT_EQ(start, 1);
  EXPECT_EQ(end, 3);
  page.Cut(kEdit);
  EXPECT_EQ(page.GetItemText(kEdit), "ab");
  EXPECT_TRUE(page.IsEditModified(kEdit));
  EXPECT_TRUE(ui::ClipboardHasText());
  EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8("あ"));
  page.SetEditSelection(kEdit, 0, -1);
  page.GetEditSelection(kEdit, start, end);
  EXPECT_EQ(end, 2);
  page.Paste(kEdit);
  EXPECT_EQ(page.GetItemText(kEdit), Sjis("あ"));
  QApplication::clipboard()->clear();
  EXPECT_FALSE(ui::ClipboardHasText());
}

TEST_F(WindowLayerTest, ChoosingDropsTheListPicksWhileDroppedAndClosesIt) {
  ui::Dialog& page = OpenPage();
  page.ComboAdd(kCombo, Sjis("一"));
  page.ComboAdd(kCombo, Sjis("二"));
  EXPECT_EQ(page.ComboSelection(kCombo), -1) << "adding selects nothing";
  page.ComboSelect(kCombo, 0);
  EXPECT_TRUE(events_.commands.empty()) << "the page's own choice notifies nothing";
  bool dropped_at_change = false;
  events_.on_command = [&](ui::Dialog& dialog, int id, int code) {
    if (id == kCombo && code == ui::kCbnSelChange) {
      dropped_at_change = dialog.ComboIsDroppedDown(kCombo);
    }
  };
  page.UserChoose(kCombo, 1);
  EXPECT_EQ(events_.commands, (std::vector<Notification>{{kCombo, ui::kCbnDropDown},
                                                         {kCombo, ui::kCbnSelChange},
                                                         {kCombo, ui::kCbnCloseUp}}));
  EXPECT_TRUE(dropped_at_change);
  EXPECT_FALSE(page.ComboIsDroppedDown(kCombo));
  EXPECT_EQ(page.ComboSelection(kCombo), 1);
  EXPECT_EQ(page.GetItemText(kCombo), Sjis("二"));

  // A person's pick in the dropped list: Qt's own popup and mouse path.
  QComboBox* combo = nullptr;
  for (QWidget* widget : QApplication::allWidgets()) {
    if (widget->property("zvrx_id").toInt() == kCombo && widget->isVisible()) {
      combo = qobject_cast<QComboBox*>(widget);
    }
  }
  ASSERT_NE(combo, nullptr);
  events_.commands.clear();
  dropped_at_change = false;
  combo->showPopup();
  QAbstractItemView* view = combo->view();
  const QPoint at = view->visualRect(view->model()->index(0, 0)).center();
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
  for (int i = 0; i < 20 && page.ComboIsDroppedDown(kCombo); ++i) QApplication::processEvents();
  EXPECT_EQ(events_.commands, (std::vector<Notification>{{kCombo, ui::kCbnDropDown},
                                                         {kCombo, ui::kCbnSelChange},
                                                         {kCombo, ui::kCbnCloseUp}}));
  EXPECT_TRUE(dropped_at_change);
  EXPECT_EQ(page.ComboSelection(kCombo), 0);
}

TEST_F(WindowLayerTest, ListKeepsOrderAndBytesAndNotifiesOnlyTheUsersChoice) {
  ui::Dialog& page = OpenPage();
  for (int i = 0; i < 30; ++i) page.ListAdd(kList, "item" + std::to_string(i));
  page.ListInsert(kList, 0, "z\x80");
  EXPECT_EQ(page.ListCount(kList), 31);
  EXPECT_EQ(page.ListText(kList, 0), "z\x80");
  EXPECT_EQ(page.ListText(kList, 1), "item0");
  page.ListSelect(kList, 30);
  EXPECT_EQ(page.ListSelection(kList), 30);
  EXPECT_GT(page.ListTopIndex(kList), 0) << "selecting scrolls the item into view";
  page.ListSelect(kList, -1);
  EXPECT_EQ(page.ListSelection(kList), -1);
  EXPECT_TRUE(events_.commands.empty());
  page.UserSelectListItem(kList, 2);
  EXPECT_EQ(events_.commands, (std::vector<Notification>{{kList, ui::kLbnSelChange}}));
  // A person's click on another item.
  QListWidget* list = nullptr;
  for (QWidget* widget : QApplication::allWidgets()) {
    if (widget->property("zvrx_id").toInt() == kList && widget->isVisible()) {
      list = qobject_cast<QListWidget*>(widget);
    }
  }
  ASSERT_NE(list, nullptr);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(3)).center());
  EXPECT_EQ(page.ListSelection(kList), 3);
  EXPECT_EQ(events_.commands.size(), 2u);
  // A double click on the chosen item.
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                     list->visualItemRect(list->item(3)).center());
  ASSERT_FALSE(events_.commands.empty());
  EXPECT_EQ(events_.commands.back(), (Notification{kList, ui::kLbnDblClk}));
  page.ListDelete(kList, 0);
  EXPECT_EQ(page.ListText(kList, 0), "item0");
}

TEST_F(WindowLayerTest, ScrollRequestsReachThePageAndTheBarStaysWhereItWasPut) {
  ui::Dialog& page = OpenPage();
  page.SetScrollRange(kScroll, 0, 10);
  page.SetScrollPos(kScroll, 3);
  QScrollBar* bar = nullptr;
  for (QWidget* widget : QApplication::allWidgets()) {
    // Pages of earlier tests wait hidden for their deletion.
    if (widget->property("zvrx_id").toInt() == kScroll && widget->isVisible()) {
      bar = qobject_cast<QScrollBar*>(widget);
    }
  }
  ASSERT_NE(bar, nullptr);
  page.UserScroll(kScroll, ui::kSbLineDown, 0);
  page.UserScroll(kScroll, ui::kSbPageUp, 0);
  page.UserScroll(kScroll, ui::kSbBottom, 0);
  EXPECT_EQ(bar->value(), 3);
  EXPECT_EQ(page.ScrollPos(kScroll), 3);
  // A drag reports where the thumb is; the page moves the bar if it wants.
  events_.on_scroll = [](ui::Dialog& dialog, int id, int request, int position) {
    if (request == ui::kSbThumbPosition) dialog.SetScrollPos(id, position);
  };
  bar->setSliderDown(true);
  bar->setSliderPosition(8);
  EXPECT_EQ(bar->value(), 3);
  bar->setSliderDown(false);
  EXPECT_EQ(events_.scrolls,
            (std::vector<Scroll>{{kScroll, ui::kSbLineDown, 3},
                                 {kScroll, ui::kSbPageUp, 3},
                                 {kScroll, ui::kSbBottom, 3},
                                 {kScroll, ui::kSbThumbTrack, 8},
                                 {kScroll, ui::kSbThumbPosition, 8},
                                 {kScroll, ui::kSbEndScroll, 0}}));
  EXPECT_EQ(bar->value(), 8);
  EXPECT_TRUE(events_.commands.empty());
}

TEST_F(WindowLayerTest, TimersTickByIdUntilKilled) {
  ui::Dialog& page = OpenPage();
  events_.on_timer = [](ui::Dialog& dialog, int timer_id) {
    if (timer_id == 7) dialog.KillTimer(7);
  };
  page.SetTimer(7, 5);
  page.SetTimer(8, 5);
  EXPECT_TRUE(page.TimerRunning(7));
  QElapsedTimer clock;
  clock.start();
  while (std::count(events_.timers.begin(), events_.timers.end(), 8) < 3 && clock.elapsed() < 5000) {
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  page.KillTimer(8);
  EXPECT_EQ(std::count(events_.timers.begin(), events_.timers.end(), 7), 1);
  EXPECT_GE(std::count(events_.timers.begin(), events_.timers.end(), 8), 3);
  EXPECT_FALSE(page.TimerRunning(7));
  EXPECT_FALSE(page.TimerRunning(8));
}

}  // namespace
}  // namespace zvrx::test
