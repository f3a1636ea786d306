// The help viewer in-process, offscreen, over pictures made in the test:
// the first topic at start, decoding only on a change of topic, the last
// topic scrolled into view, a missing Help folder, a broken picture that
// leaves the page shown, and the three ways to end it.
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "help/app/help_viewer.h"
#include "help/render/bitmap_image.h"
#include "platform/cp932.h"
#include "platform/ui/picture.h"
#include "platform/ui/string_table.h"
#include "tests/gui/gui_application.h"
#include "tests/support/jpeg_maker.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace ui = platform::ui;

void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

// Each page is as wide as 100 + its number, so the width tells which
// page is shown; the logo is 60 wide.
int PageWidth(int topic) { return 100 + topic; }
constexpr int kLogoWidth = 60;

class HelpViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::GuiApplication();
    std::string error;
    ASSERT_TRUE(help::LoadHelpResources(help::kHelpResourceFolder, resources_, &error)) << error;
  }
  void TearDown() override {
    viewer_.reset();
    Settle();
  }

  void PutPicture(const std::string& name, const std::vector<uint8_t>& bytes) {
    test::WriteHostFile(prefix_.InstallRootHost() + "/Help/" + name,
                        std::string(bytes.begin(), bytes.end()));
  }
  void PutAllPictures() {
    for (int topic = 0; topic < help::kTopicCount; ++topic) {
      test::JpegRecipe recipe;
      recipe.width = PageWidth(topic);
      recipe.height = 80;
      recipe.components = topic % 2 == 0 ? 3 : 1;
      PutPicture("Zvrxhelp" + std::to_string(topic + 1), test::MakeJpeg(recipe));
    }
    test::JpegRecipe logo;
    logo.width = kLogoWidth;
    logo.height = 50;
    PutPicture("ZvrxLogo", test::MakeJpeg(logo));
  }
  void StartViewer() {
    viewer_ = std::make_unique<help::HelpViewer>(
        resources_, [this](int code) { quit_codes_.push_back(code); },
        [this](const std::string& line) { errors_.push_back(line); });
    viewer_->Start();
    Settle();
    ASSERT_NE(viewer_->dialog(), nullptr);
  }
  ui::Dialog& dialog() { return *viewer_->dialog(); }
  void Choose(int index) {
    dialog().UserSelectListItem(help::kTopicList, index);
    Settle();
  }
  // The widget of a control of the viewer's dialog, for keys and the close box.
  static QWidget* ViewerWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (widget->isVisible() && widget->windowTitle() == "  Mail Zevrox Help") return widget;
    }
    return nullptr;
  }

  test::TempPrefix prefix_;
  help::HelpResources resources_;
  std::unique_ptr<help::HelpViewer> viewer_;
  std::vector<int> quit_codes_;
  std::vector<std::string> errors_;
};

TEST_F(HelpViewerTest, StartsAtTheFirstTopicWithItsPageAndTheLogo) {
  PutAllPictures();
  StartViewer();
  EXPECT_EQ(viewer_->current_topic(), 0);
  EXPECT_EQ(dialog().ListSelection(help::kTopicList), 0);
  ASSERT_EQ(dialog().ListCount(help::kTopicList), help::kTopicCount);
  const char* texts[] = {"基本設定", "動作モード", "検査レベル", "オプション設定", "判定条件設定",
                         "受信容認リスト", "受信拒否リスト", "作業記録", "Ａｂｏｕｔ MailZevrox",
                         "Contact to us"};
  for (int i = 0; i < help::kTopicCount; ++i) {
    EXPECT_EQ(dialog().ListText(help::kTopicList, i), platform::Utf8ToCp932(texts[i])) << i;
  }
  ASSERT_NE(ViewerWindow(), nullptr);
  EXPECT_FALSE(viewer_->main_window()->IsShown());
  EXPECT_EQ(viewer_->renderer().page_decodes(), 1);
  EXPECT_EQ(viewer_->renderer().logo_decodes(), 1);

  const ui::ItemBitmapInfo page = ui::ItemBitmap(dialog(), help::kPagePicture);
  ASSERT_TRUE(page.present);
  EXPECT_EQ(page.width, PageWidth(0));
  const ui::BaseUnits base = ui::SystemBaseUnits();
  const help::PagePlacement place = help::PlacePage(base.x, base.y, PageWidth(0), 80);
  EXPECT_EQ(page.place.x, place.x);
  EXPECT_EQ(page.place.y, place.y);
  EXPECT_EQ(page.place.white_width, 40);
  EXPECT_EQ(page.place.white_height, place.strip_height);

  const ui::ItemBitmapInfo logo = ui::ItemBitmap(dialog(), help::kLogoPicture);
  ASSERT_TRUE(logo.present);
  EXPECT_EQ(logo.width, kLogoWidth);
  EXPECT_EQ(logo.place.x, 0);
  EXPECT_EQ(logo.place.y, 0);
  EXPECT_EQ(logo.place.white_width, 0);
  EXPECT_TRUE(errors_.empty());
}

TEST_F(HelpViewerTest, APageIsDecodedOnlyWhenTheTopicChanges) {
  PutAllPictures();
  StartViewer();
  ASSERT_EQ(viewer_->renderer().page_decodes(), 1);
  // The shown topic chosen again (a notification without a change).
  viewer_->OnCommand(dialog(), help::kTopicList, ui::kLbnSelChange);
  Choose(0);
  EXPECT_EQ(viewer_->renderer().page_decodes(), 1);

  Choose(3);
  EXPECT_EQ(viewer_->current_topic(), 3);
  EXPECT_EQ(viewer_->renderer().page_decodes(), 2);
  EXPECT_EQ(ui::ItemBitmap(dialog(), help::kPagePicture).width, PageWidth(3));
  const int conversions = ui::ItemBitmap(dialog(), help::kPagePicture).conversions;
  viewer_->OnCommand(dialog(), help::kTopicList, ui::kLbnSelChange);
  // Repainting draws again from the kept picture: no decoding, and the
  // same bitmap is not turned into pixels again.
  for (int i = 0; i < 3; ++i) {
    viewer_->OnPaint(dialog());
    dialog().RedrawItem(help::kPagePicture);
    Settle();
  }
  EXPECT_EQ(viewer_->renderer().page_decodes(), 2);
  EXPECT_EQ(viewer_->renderer().logo_decodes(), 1);
  EXPECT_EQ(ui::ItemBitmap(dialog(), help::kPagePicture).conversions, conversions);
  EXPECT_EQ(ui::ItemBitmap(dialog(), help::kLogoPicture).width, kLogoWidth);

  Choose(1);
  EXPECT_EQ(viewer_->renderer().page_decodes(), 3);
  EXPECT_EQ(ui::ItemBitmap(dialog(), help::kPagePicture).width, PageWidth(1));
}

TEST_F(HelpViewerTest, ContactToUsShowsTheLastPageWithTheLastItemInView) {
  PutAllPictures();
  StartViewer();
  Choose(help::kLastTopic);
  EXPECT_EQ(viewer_->current_topic(), help::kLastTopic);
  EXPECT_EQ(dialog().ListSelection(help::kTopicList), help::kLastTopic);
  EXPECT_TRUE(ui::IsListItemVisible(dialog(), help::kTopicList, help::kLastTopic));
  EXPECT_EQ(ui::ItemBitmap(dialog(), help::kPagePicture).width, PageWidth(9));
  EXPECT_EQ(viewer_->renderer().page_decodes(), 2);
  // Back to the first topic and to the last again.
  Choose(0);
  Choose(help::kLastTopic);
  EXPECT_TRUE(ui::IsListItemVisible(dialog(), help::kTopicList, help::kLastTopic));
  EXPECT_EQ(viewer_->renderer().page_decodes(), 4);
}

TEST_F(HelpViewerTest, WithoutTheHelpFolderTheListShowsAndThePictureAreaStaysEmpty) {
  StartViewer();
  EXPECT_EQ(dialog().ListCount(help::kTopicList), help::kTopicCount);
  EXPECT_FALSE(ui::ItemBitmap(dialog(), help::kPagePicture).present);
  EXPECT_FALSE(ui::ItemBitmap(dialog(), help::kLogoPicture).present);
  Choose(4);
  Choose(help::kLastTopic);
  EXPECT_EQ(viewer_->current_topic(), help::kLastTopic);
  EXPECT_FALSE(ui::ItemBitmap(dialog(), help::kPagePicture).present);
  EXPECT_EQ(viewer_->renderer().page_decodes(), 0);
  EXPECT_TRUE(errors_.empty());
  EXPECT_TRUE(quit_codes_.empty());
}

TEST_F(HelpViewerTest, ABrokenPictureLeavesThePageShownAndTheViewerRunning) {
  PutAllPictures();
  PutPicture("Zvrxhelp3", {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x03, 0x01});
  test::JpegRecipe cmyk;
  cmyk.components = 4;
  PutPicture("Zvrxhelp5", test::MakeJpeg(cmyk));
  StartViewer();
  Choose(2);
  EXPECT_EQ(viewer_->current_topic(), 2);
  EXPECT_EQ(ui::ItemBitmap(dialog(), help::kPagePicture).width, PageWidth(0));
  Choose(4);
  EXPECT_EQ(ui::ItemBitmap(dialog(), help::kPagePicture).width, PageWidth(0));
  ASSERT_EQ(errors_.size(), 2u);
  EXPECT_NE(errors_[0].find("Zvrxhelp3"), std::string::npos) << errors_[0];
  EXPECT_NE(errors_[1].find("BMP output must be grayscale or RGB"), std::string::npos) << errors_[1];
  EXPECT_TRUE(quit_codes_.empty());
  EXPECT_FALSE(viewer_->ended());
  Choose(5);
  EXPECT_EQ(ui::ItemBitmap(dialog(), help::kPagePicture).width, PageWidth(5));
}

enum class Ending { kCloseButton, kCtrlQ, kCloseBox };

TEST_F(HelpViewerTest, CloseButtonCtrlQAndTheCloseBoxEndTheViewer) {
  PutAllPictures();
  for (Ending ending : {Ending::kCloseButton, Ending::kCtrlQ, Ending::kCloseBox}) {
    SCOPED_TRACE(static_cast<int>(ending));
    quit_codes_.clear();
    StartViewer();
    QWidget* window = ViewerWindow();
    ASSERT_NE(window, nullptr);
    switch (ending) {
      case Ending::kCloseButton: dialog().UserClick(help::kCloseButton); break;
      case Ending::kCtrlQ: {
        // Ctrl+Q pressed in the topic list reaches the hidden main window.
        QWidget* target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget()
                                                                 : window;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Q, Qt::ControlModifier, QString(QChar(17)));
        QApplication::sendEvent(target, &press);
        break;
      }
      case Ending::kCloseBox: window->close(); break;
    }
    Settle();
    EXPECT_TRUE(viewer_->ended());
    EXPECT_EQ(quit_codes_, std::vector<int>{0});
    EXPECT_EQ(viewer_->dialog(), nullptr);
    EXPECT_EQ(ViewerWindow(), nullptr);
    viewer_.reset();
    Settle();
  }
}

TEST_F(HelpViewerTest, OtherKeysDoNotEndTheViewer) {
  PutAllPictures();
  StartViewer();
  QWidget* window = ViewerWindow();
  ASSERT_NE(window, nullptr);
  for (auto [key, modifiers] : {std::pair{Qt::Key_Q, Qt::NoModifier},
                                std::pair{Qt::Key_W, Qt::ControlModifier},
                                std::pair{Qt::Key_Escape, Qt::NoModifier}}) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(window, &press);
    Settle();
  }
  EXPECT_FALSE(viewer_->ended());
  EXPECT_TRUE(quit_codes_.empty());
}

}  // namespace
}  // namespace zvrx

namespace zvrx {
namespace {

// The pieces the window layer gained for the viewer, on their own.
class PictureLayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::GuiApplication();
    std::string error;
    ASSERT_TRUE(help::LoadHelpResources(help::kHelpResourceFolder, resources_, &error)) << error;
    dialog_ = ui::CreateModelessDialog(*ui::FindTemplate(resources_.dialogs, help::kViewerDialog),
                                       nullptr, events_);
    ASSERT_NE(dialog_, nullptr);
    dialog_->Show();
    Settle();
  }
  void TearDown() override {
    dialog_.reset();
    Settle();
  }
  QImage Grab() {
    const std::string path = prefix_.path() + "/grab.png";
    EXPECT_TRUE(dialog_->SaveImage(path));
    return QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32);
  }

  test::TempPrefix prefix_;
  help::HelpResources resources_;
  ui::DialogEvents events_;
  std::unique_ptr<ui::Dialog> dialog_;
};

TEST_F(PictureLayerTest, BitmapsAreDrawnBottomUpAtTheirPlaceWithTheWhiteStrip) {
  // Two rows of three pixels; the first row in memory is the bottom one.
  ui::Bitmap colour;
  colour.width = 3;
  colour.height = 2;
  colour.bits_per_pixel = 24;
  colour.rows = {0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0,   // bottom: red, green, blue
                 255, 255, 0, 0, 255, 255, 255, 0, 255, 0, 0, 0};  // top: cyan, yellow, magenta
  ui::BitmapPlacement place;
  place.x = 50;
  place.y = 7;
  place.white_width = 40;
  place.white_height = 30;
  ASSERT_TRUE(ui::SetItemBitmap(*dialog_, help::kPagePicture, colour, place));
  // Through a palette: index 0 and 1 of a two-colour table.
  ui::Bitmap indexed;
  indexed.width = 2;
  indexed.height = 1;
  indexed.bits_per_pixel = 8;
  indexed.palette = {{10, 20, 30}, {200, 100, 50}};
  indexed.rows = {1, 0, 0, 0};
  ASSERT_TRUE(ui::SetItemBitmap(*dialog_, help::kLogoPicture, indexed, ui::BitmapPlacement{}));
  Settle();

  const QImage image = Grab();
  ASSERT_FALSE(image.isNull());
  // The bitmap lies inside the control's one-pixel border.
  const ui::PixelRect page = dialog_->ItemRect(help::kPagePicture);
  const int x0 = page.x + 1 + place.x, y0 = page.y + 1 + place.y;
  const QRgb expected[2][3] = {{qRgb(0, 255, 255), qRgb(255, 255, 0), qRgb(255, 0, 255)},
                               {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(image.pixel(x0 + x, y0 + y), expected[y][x]) << x << "," << y;
    }
  }
  EXPECT_EQ(image.pixel(page.x + 1 + 39, page.y + 1 + 29), qRgb(255, 255, 255));
  const ui::PixelRect logo = dialog_->ItemRect(help::kLogoPicture);
  EXPECT_EQ(image.pixel(logo.x + 1, logo.y + 1), qRgb(200, 100, 50));
  EXPECT_EQ(image.pixel(logo.x + 2, logo.y + 1), qRgb(10, 20, 30));

  // Rows shorter than the bitmap claims are refused; what was shown stays.
  ui::Bitmap short_rows = colour;
  short_rows.rows.resize(23);
  EXPECT_FALSE(ui::SetItemBitmap(*dialog_, help::kPagePicture, short_rows, place));
  EXPECT_FALSE(ui::SetItemBitmap(*dialog_, 4242, colour, place));
  EXPECT_EQ(ui::ItemBitmap(*dialog_, help::kPagePicture).width, 3);
  ui::ClearItemBitmap(*dialog_, help::kPagePicture);
  EXPECT_FALSE(ui::ItemBitmap(*dialog_, help::kPagePicture).present);
}

TEST_F(PictureLayerTest, ListItemsTakeTheHeightTheyAreGiven) {
  for (int i = 0; i < 12; ++i) dialog_->ListAdd(help::kTopicList, "x");
  ui::SetListItemHeight(*dialog_, help::kTopicList, 17);
  Settle();
  const int height = dialog_->ItemRect(help::kTopicList).height;
  int visible = 0;
  for (int i = 0; i < 12; ++i) visible += ui::IsListItemVisible(*dialog_, help::kTopicList, i);
  // Whole items of 17 pixels inside the list's frame.
  EXPECT_EQ(visible, (height - 2) / 17);
  dialog_->ListSelect(help::kTopicList, 11);
  EXPECT_TRUE(ui::IsListItemVisible(*dialog_, help::kTopicList, 11));
  EXPECT_FALSE(ui::IsListItemVisible(*dialog_, help::kTopicList, 0));
}

TEST(StringTableTest, TextsByIdCutToTheBufferOnACharacterBoundary) {
  ui::StringTable table;
  std::string error;
  ASSERT_TRUE(ui::ParseStringTable("# topics\nSTRINGTABLE\n  1 \"基本設定\"\n  0x10 \"a\"\"b\"\nEND\n",
                                   table, &error))
      << error;
  EXPECT_EQ(ui::LoadTableString(table, 1, 40), platform::Utf8ToCp932("基本設定"));
  EXPECT_EQ(ui::LoadTableString(table, 16, 40), "a\"b");
  EXPECT_EQ(ui::LoadTableString(table, 2, 40), "");
  // A 40-byte buffer holds 39 bytes: the twentieth double-byte character
  // would be cut in half and goes whole.
  ui::StringTable wide = {{5, platform::Utf8ToCp932("ああああああああああああああああああああ")}};
  EXPECT_EQ(ui::LoadTableString(wide, 5, 40).size(), 38u);
  EXPECT_EQ(ui::LoadTableString(wide, 5, 41).size(), 40u);
  const char* broken[] = {"STRINGTABLE\n 1 \"open\n", "1 \"outside\"\n", "STRINGTABLE\n x \"a\"\nEND\n",
                          "STRINGTABLE\n 1 \"a\"\n", "STRINGTABLE\n 1 a\nEND\n"};
  for (const char* text : broken) {
    ui::StringTable ignored;
    EXPECT_FALSE(ui::ParseStringTable(text, ignored, &error)) << text;
  }
}

}  // namespace
}  // namespace zvrx
