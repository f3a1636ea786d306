// The four message dialogs offscreen: which field shows which line, which
// button answers what, Escape, focus, and where each dialog stands.
#include <QApplication>
#include <QTest>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/cp932.h"
#include "platform/ui/transcript.h"
#include "platform/ui/window.h"
#include "settings/message_dialogs.h"
#include "settings/message_table.h"
#include "settings/pages/page_window.h"
#include "tests/gui/gui_application.h"
#include "tests/support/sjis.h"

namespace zvrx {
namespace {

namespace ui = platform::ui;

using test::Sjis;

// What a running dialog showed.
struct Seen {
  int template_id = 0;
  std::vector<std::string> fields;
  int focused = 0;
  ui::PixelRect rect;
  bool still_shown_after_escape = false;
};

class MessageDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::GuiApplication();
    std::string error;
    ASSERT_TRUE(LoadSettingsResources(kSettingsResourceFolder, resources_, &error)) << error;
  }
  void TearDown() override {
    ui::SetModalObserver(nullptr);
    ui::SetScriptedAnswers({});
  }

  // Shows the dialog with `answers`, noting `fields` and what `act` does
  // while it is up.
  int Show(MessageDialogKind kind, const std::string& text, std::vector<std::string> answers,
           std::vector<int> fields, const ui::PixelRect* owner = nullptr,
           std::function<void(ui::Dialog&)> act = {}) {
    ui::SetScriptedAnswers(std::move(answers));
    ui::SetModalObserver([this, fields, act](ui::Dialog& dialog) {
      Seen s;
      s.template_id = dialog.TemplateId();
      for (int id : fields) s.fields.push_back(dialog.GetItemText(id));
      s.focused = dialog.FocusedItem();
      s.rect = dialog.Rect();
      if (act) act(dialog);
      seen_.push_back(s);
    });
    return ShowMessageDialog(state_, kind, text, owner);
  }

  SettingsResources resources_;
  SettingsState state_{resources_};
  std::vector<Seen> seen_;
};

constexpr int kOkFields[] = {1081, 1082, 1083, 1084};
constexpr int kNoticeFields[] = {1101, 1102, 1103};
constexpr int kYesNoFields[] = {1091, 1092, 1093, 1094, 1095};

TEST_F(MessageDialogsTest, EachDialogShowsItsLinesAndAnswers) {
  const std::string report = MessageString(130);
  const std::string notice = ErrorText(5);
  const std::string question = "one\n\ntwo\nthree\nfour\nfive\nsix\n";
  const std::string save = PageNameBasic() + MessageString(200);
  struct {
    const char* rule;
    MessageDialogKind kind;
    std::string text;
    const char* answer;
    int template_id;
    std::vector<int> fields;
    std::vector<std::string> shown;
    int focused;
    int result;
  } cases[] = {
      {"no-account report: two sentences, はい answers OK", MessageDialogKind::kOk, report, "OK",
       kDialogOkId, {std::begin(kOkFields), std::end(kOkFields)},
       {Sjis("有効なアカウントが設定されていません。"), Sjis("少なくとも１つは設定して下さい。"), "",
        ""},
       1, ui::kIdOk},
      {"first-use notice", MessageDialogKind::kNotice, notice, "OK", kNoticeDialogId,
       {std::begin(kNoticeFields), std::end(kNoticeFields)},
       {Sjis("有効なアカウントが設定されていません。"), Sjis("少なくとも一つは設定して下さい。"), ""},
       1, ui::kIdOk},
      {"yes/no question answered yes: five lines, いいえ focused", MessageDialogKind::kYesNo,
       question, "YES", kDialogOkNoId, {std::begin(kYesNoFields), std::end(kYesNoFields)},
       {"one", "two", "three", "four", "five"}, 7, kResultYes},
      {"yes/no question answered no", MessageDialogKind::kYesNo, question, "NO", kDialogOkNoId,
       {1091}, {"one"}, 7, kResultNo},
      {"save question: the whole text in one field, yes", MessageDialogKind::kYesNoCancel, save,
       "YES", kDialogOkNoCancelId, {1061}, {save}, 7, kResultYes},
      {"save question, no", MessageDialogKind::kYesNoCancel, save, "NO", kDialogOkNoCancelId,
       {1061}, {save}, 7, kResultNo},
      {"save question, cancel", MessageDialogKind::kYesNoCancel, save, "CANCEL",
       kDialogOkNoCancelId, {1061}, {save}, 7, kResultCancel},
      {"a text longer than the buffer is cut to 199 bytes", MessageDialogKind::kYesNoCancel,
       std::string(300, 'x'), "NO", kDialogOkNoCancelId, {1061}, {std::string(199, 'x')}, 7,
       kResultNo},
  };
  for (const auto& c : cases) {
    seen_.clear();
    const int result = Show(c.kind, c.text, {c.answer}, c.fields);
    EXPECT_EQ(result, c.result) << c.rule;
    ASSERT_EQ(seen_.size(), 1u) << c.rule;
    EXPECT_EQ(seen_[0].template_id, c.template_id) << c.rule;
    EXPECT_EQ(seen_[0].fields, c.shown) << c.rule;
    EXPECT_EQ(seen_[0].focused, c.focused) << c.rule;
  }
}

// Escape through the real key, while the dialog is up.
void PressEscape(ui::Dialog& dialog) {
  QWidget* target = QApplication::focusWidget();
  if (target == nullptr) target = QApplication::activeModalWidget();
  ASSERT_NE(target, nullptr);
  QTest::keyClick(target, Qt::Key_Escape);
  (void)dialog;
}

TEST_F(MessageDialogsTest, EscapeIsIgnoredByTheYesNoQuestionAndCancelsTheSaveQuestion) {
  bool shown_after_escape = false;
  const int yes_no = Show(MessageDialogKind::kYesNo, "q\n\n", {"NO"}, {}, nullptr,
                          [&](ui::Dialog& dialog) {
                            PressEscape(dialog);
                            shown_after_escape = dialog.IsShown();
                          });
  EXPECT_TRUE(shown_after_escape);
  EXPECT_EQ(yes_no, kResultNo);  // the scripted answer after Escape closed it

  // No scripted answer: only Escape can end it. Should it not, the dialog is
  // ended here with a value no button gives, so the test fails instead of
  // hanging.
  const int save = Show(MessageDialogKind::kYesNoCancel, "q", {}, {}, nullptr,
                        [](ui::Dialog& dialog) {
                          PressEscape(dialog);
                          if (dialog.IsShown()) dialog.EndDialog(99);
                        });
  EXPECT_EQ(save, kResultCancel);
}

TEST_F(MessageDialogsTest, DialogsStandOverTheirOwnerOrInTheScreenMiddle) {
  const ui::SystemMetrics metrics = ui::Metrics();
  const ui::PixelRect owner{100, 120, 600, 400};
  // The window frame is known only once the dialog shows, after it was placed.
  constexpr int kFrameSlack = 4;

  Show(MessageDialogKind::kOk, "a\n\n", {"OK"}, {}, &owner);
  ASSERT_EQ(seen_.size(), 1u);
  const ui::PixelRect over = seen_[0].rect;
  EXPECT_NEAR(over.x + over.width / 2, owner.x + owner.width / 2, kFrameSlack);
  EXPECT_GT(over.width, 0);

  // Until the account field was used the notice stands in the screen's
  // middle whatever its owner; afterwards over its owner.
  seen_.clear();
  state_.account_field_used = false;
  Show(MessageDialogKind::kNotice, "a\n\n", {"OK"}, {}, &owner);
  state_.account_field_used = true;
  Show(MessageDialogKind::kNotice, "a\n\n", {"OK"}, {}, &owner);
  ASSERT_EQ(seen_.size(), 2u);
  const ui::PixelRect middle = seen_[0].rect;
  EXPECT_NEAR(middle.x + middle.width / 2, metrics.screen_width / 2, kFrameSlack);
  EXPECT_NEAR(middle.y + middle.height / 2, metrics.screen_height / 2, kFrameSlack);
  const ui::PixelRect centred = seen_[1].rect;
  EXPECT_NEAR(centred.x + centred.width / 2, owner.x + owner.width / 2, kFrameSlack);
}

TEST_F(MessageDialogsTest, EveryDialogCarriesTheProgramCaptionAndItsButtons) {
  struct {
    int id;
    std::vector<std::pair<int, const char*>> buttons;
  } cases[] = {
      {kDialogOkId, {{1, "はい"}}},
      {kNoticeDialogId, {{1, "はい"}}},
      {kDialogOkNoId, {{1, "はい"}, {7, "いいえ"}}},
      {kDialogOkNoCancelId, {{1, "はい"}, {7, "いいえ"}, {2, "ｷｬﾝｾﾙ"}}},
  };
  for (const auto& c : cases) {
    const ui::DialogTemplate* dialog = ui::FindTemplate(resources_.dialogs, c.id);
    ASSERT_NE(dialog, nullptr) << c.id;
    EXPECT_EQ(dialog->caption, "  Mail Zevrox") << c.id;
    for (const auto& [id, text] : c.buttons) {
      bool found = false;
      for (const auto& control : dialog->controls) {
        if (control.id != id) continue;
        found = true;
        EXPECT_EQ(control.text, Sjis(text)) << c.id << " button " << id;
        // "いいえ" is the default of the questions, "はい" of the others.
        const bool is_default = control.kind == ui::ControlKind::kDefPushButton;
        EXPECT_EQ(is_default, id == (c.buttons.size() > 1 ? 7 : 1)) << c.id << " button " << id;
      }
      EXPECT_TRUE(found) << c.id << " button " << id;
    }
  }
}

}  // namespace
}  // namespace zvrx
