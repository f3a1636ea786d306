// Dialog templates and their layout: the text form, dialog units from the
// dialog font, and the report dialog's one-line and four-line layouts.
#include <QFont>
#include <QFontMetrics>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "checker/app/report_dialog.h"
#include "platform/cp932.h"
#include "platform/ui/dialog.h"
#include "platform/ui/dialog_template.h"
#include "platform/ui/window.h"
#include "tests/gui/gui_application.h"

namespace zvrx {
namespace {

namespace ui = platform::ui;

const std::string kReportTemplates = ZVRX_SOURCE_DIR "/resources/checker/report_dialog.dlg";

std::vector<ui::DialogTemplate> ReportTemplates() {
  std::vector<ui::DialogTemplate> templates;
  std::string error;
  EXPECT_TRUE(ui::LoadDialogTemplates(kReportTemplates, templates, &error)) << error;
  return templates;
}

TEST(DialogTemplateTest, ReadsTheReportDialogsWithCp932Texts) {
  const auto templates = ReportTemplates();
  ASSERT_EQ(templates.size(), 2u);
  const ui::DialogTemplate* one = ui::FindTemplate(templates, kReportOneLineDialog);
  const ui::DialogTemplate* four = ui::FindTemplate(templates, kReportFourLineDialog);
  ASSERT_NE(one, nullptr);
  ASSERT_NE(four, nullptr);
  EXPECT_EQ(one->caption, "  Mail Zevrox");
  EXPECT_TRUE(one->centered);
  EXPECT_EQ(one->font_face, ui::kDialogFontFace);
  EXPECT_EQ(one->controls.size(), 2u);
  EXPECT_EQ(four->controls.size(), 5u);
  // Each text line of the four-line layout is a control of its own.
  for (int i = 0; i < kReportMaxLines; ++i) {
    EXPECT_EQ(four->controls[i].id, kReportFirstLineId + i);
    EXPECT_EQ(four->controls[i].kind, ui::ControlKind::kLeftText);
  }

  std::vector<ui::DialogTemplate> parsed;
  ASSERT_TRUE(ui::ParseDialogTemplates("DIALOG 5 \"設定 \"\"A\"\"\" 0 0 10 10\nEND\n", parsed,
                                       nullptr));
  EXPECT_EQ(parsed[0].caption, platform::Utf8ToCp932("設定 \"A\""));
}

TEST(DialogTemplateTest, RefusesBrokenTextsNamingTheLine) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"DIALOG 1 \"x\" 0 0 10\nEND\n", "line 1: DIALOG id"},
      {"DIALOG 1 \"x\" 0 0 10 10\n LTEXT 2 \"open 1 1 1 1\nEND\n", "line 2: unclosed quote"},
      {"DIALOG 1 \"x\" 0 0 10 10\nSLIDER 2 \"\" 1 1 1 1\nEND\n", "line 2: unknown control kind"},
      {"DIALOG 1 \"x\" 0 0 10 10\nLTEXT 2 \"\" 1 1 -1 1\nEND\n", "line 2: KIND id"},
      {"LTEXT 2 \"\" 1 1 1 1\n", "line 1: outside a dialog"},
      {"DIALOG 1 \"x\" 0 0 10 10\n", "line 1: no END"},
      {"DIALOG 1 \"x\" 0 0 10 10\nFONT 0 \"IPAGothic\"\nEND\n", "line 2: FONT"},
  };
  for (const Case& c : cases) {
    std::vector<ui::DialogTemplate> templates;
    std::string error;
    EXPECT_FALSE(ui::ParseDialogTemplates(c.text, templates, &error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << " gave " << error;
    EXPECT_TRUE(templates.empty()) << "a broken dialog must not be kept";
  }
}

TEST(DialogUnitsTest, QuarterAndEighthOfTheBaseUnitsRoundedToNearest) {
  const ui::BaseUnits base{6, 13};
  struct Case {
    int x, y, width, height;
    ui::PixelRect expected;
  } cases[] = {
      {0, 0, 4, 8, {0, 0, 6, 13}},
      {1, 1, 3, 3, {2, 2, 5, 5}},  // 1.5 -> 2, 1.625 -> 2, 4.5 -> 5, 4.875 -> 5
      {260, 52, 50, 14, {390, 85, 75, 23}},
  };
  for (const Case& c : cases) {
    const ui::PixelRect r = ui::DialogUnitsToPixels(c.x, c.y, c.width, c.height, base);
    EXPECT_EQ(std::vector<int>({r.x, r.y, r.width, r.height}),
              std::vector<int>({c.expected.x, c.expected.y, c.expected.width, c.expected.height}))
        << c.x << "," << c.y << "," << c.width << "," << c.height;
  }
}

// The horizontal unit comes from the Latin letters: a CJK font's average
// character is a full-width glyph and would double every dialog.
TEST(DialogUnitsTest, BaseUnitsOfTheDialogFontIgnoreTheWideGlyphs) {
  test::GuiApplication();
  QFont font(QString(ui::kDialogFontFace));
  font.setPointSize(9);
  const QFontMetrics metrics(font);
  const ui::BaseUnits base = ui::DialogBaseUnits(ui::kDialogFontPoints, ui::kDialogFontFace);
  EXPECT_EQ(base.y, metrics.height());
  // Windows' rule: the rounded average of the 52 letters, well below the
  // width of a kanji.
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  EXPECT_EQ(base.x, (letters / 26 + 1) / 2);
  EXPECT_LT(base.x, metrics.horizontalAdvance(QString::fromUtf8("通")));
}

struct Shown {
  std::vector<std::string> lines;  // UTF-8
  ui::PixelRect dialog;
  std::vector<ui::PixelRect> rects;
};

Shown ShowReport(const std::string& utf8_text) {
  test::GuiApplication();
  Shown shown;
  const auto templates = ReportTemplates();
  ui::SetModalObserver([&](ui::Dialog& dialog) {
    for (int i = 0; i < kReportMaxLines; ++i) {
      const ui::PixelRect rect = dialog.ItemRect(kReportFirstLineId + i);
      if (rect.width == 0) break;
      shown.rects.push_back(rect);
      shown.lines.push_back(platform::Cp932ToUtf8(dialog.GetItemText(kReportFirstLineId + i)));
    }
    shown.dialog = dialog.ItemRect(0);
    dialog.EndDialog(ui::kIdOk);
  });
  RunReportDialog(templates, platform::Utf8ToCp932(utf8_text));
  ui::SetModalObserver(nullptr);
  return shown;
}

TEST(ReportDialogTest, ShortSingleLineUsesTheOneLineLayout) {
  const std::string text = "3通のメールがサーバに届いています。\n";
  EXPECT_EQ(LayOutReport(platform::Utf8ToCp932(text)).template_id, kReportOneLineDialog);
  const Shown shown = ShowReport(text);
  ASSERT_EQ(shown.lines, std::vector<std::string>{"3通のメールがサーバに届いています。"});

  // The label is where the template puts it, and a full 60-byte line fits.
  const ui::BaseUnits base = ui::DialogBaseUnits(ui::kDialogFontPoints, ui::kDialogFontFace);
  const ui::PixelRect expected = ui::DialogUnitsToPixels(10, 10, 240, 10, base);
  EXPECT_EQ(shown.rects[0].x, expected.x);
  EXPECT_EQ(shown.rects[0].width, expected.width);
  QFont font(QString(ui::kDialogFontFace));
  font.setPointSize(9);
  EXPECT_GE(shown.rects[0].width, QFontMetrics(font).horizontalAdvance(QString(30, QChar(0x901A))));
}

TEST(ReportDialogTest, LongOrSeveralLinesUseTheFourLineLayout) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      // 61 bytes on one line no longer fit the short layout.
      {std::string(60, 'a') + "\n", {std::string(60, 'a')}},
      {"一行目\n二行目\n", {"一行目", "二行目"}},
      // At most four lines; a last piece without a line feed is still shown.
      {"1\n2\n3\n4\n5\n", {"1", "2", "3", "4"}},
      {"前\n後", {"前", "後"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LayOutReport(platform::Utf8ToCp932(c.text)).template_id, kReportFourLineDialog)
        << c.text;
    const Shown shown = ShowReport(c.text);
    EXPECT_EQ(std::vector<std::string>(shown.lines.begin(), shown.lines.begin() + c.lines.size()),
              c.lines)
        << c.text;
    ASSERT_EQ(shown.rects.size(), 4u);
    for (size_t i = 1; i < shown.rects.size(); ++i) {
      EXPECT_GE(shown.rects[i].y, shown.rects[i - 1].y + shown.rects[i - 1].height) << "overlap";
    }
  }
}

}  // namespace
}  // namespace zvrx
