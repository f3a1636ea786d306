// Frames, their menus and accelerators, modal dialogs, and windows that
// their own events destroy.
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdlib>

#include "platform/ui/test_hooks.h"
#include "platform/ui/transcript.h"
#include "platform/ui/window.h"
#include "tests/gui/window_layer_fixture.h"

namespace zvrx::test {
namespace {

// The widget the window layer shows for a control of the visible page.
QWidget* Visible(int id) {
  for (QWidget* widget : QApplication::allWidgets()) {
    if (widget->property("zvrx_id").toInt() == id && widget->isVisible()) return widget;
  }
  return nullptr;
}

void Key(QWidget* to, int key, Qt::KeyboardModifiers modifiers, const QString& text = {}) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
  QApplication::sendEvent(to, &press);
}

// Lets deferred deletions run (under ASan a use after free shows here).
void Settle() {
  for (int i = 0; i < 3; ++i) {
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
  }
}

TEST_F(WindowLayerTest, FrameFitsMenuAndPageAndKeepsTheOuterSizeItWasGiven) {
  ui::FrameParams params;
  params.window_class = "Big";
  params.width = 800;
  params.height = 600;
  auto big = ui::CreateFrame(params, frame_events_);
  EXPECT_EQ(big->Rect().width, 800);
  EXPECT_EQ(big->Rect().height, 600);
  big->Move(40, 50);
  EXPECT_EQ(big->Rect().x, 40);
  EXPECT_EQ(big->Rect().y, 50);

  // Too small for its page: grows to hold menu bar and page.
  ui::Dialog& page = OpenPage();
  const ui::PixelRect frame = frame_->Rect();
  const ui::PixelRect client = page.ItemRect(0);
  EXPECT_GE(frame.height, client.height + ui::Metrics().caption_height + 6);
  EXPECT_GE(frame.width, client.width + 6);
  EXPECT_EQ(page.Rect().x, frame.x + 3);
  EXPECT_GT(page.Rect().y, frame.y + 3 + ui::Metrics().caption_height) << "below the menu bar";
  EXPECT_TRUE(page.IsShown());

  frame_->Minimise();
  EXPECT_TRUE(frame_->IsMinimised());
  frame_->Restore();
  EXPECT_FALSE(frame_->IsMinimised());
  EXPECT_TRUE(frame_->IsShown());
}

TEST(WindowMetricsTest, FixedMeasuresAreWindows98sAndTheScreenIsQts) {
  GuiApplication();
  const ui::SystemMetrics metrics = ui::Metrics();
  EXPECT_EQ(metrics.caption_height, 18);
  EXPECT_EQ(metrics.menu_height, 19);
  EXPECT_EQ(metrics.menu_button_width, 18);
  const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(metrics.full_screen_height, available.height() - 18);
  EXPECT_EQ(metrics.screen_width, QGuiApplication::primaryScreen()->geometry().width());
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    EXPECT_EQ(metrics.tray.width, 0);
  }
  const ui::BaseUnits base = ui::SystemBaseUnits();
  EXPECT_EQ(base.x, ui::DialogBaseUnits(ui::kDialogFontPoints, ui::kDialogFontFace).x);
  EXPECT_GT(base.y, base.x);
}

TEST_F(WindowLayerTest, AShownFrameHoldsTheFocusItselfUntilTheProgramMovesIt) {
  ui::Dialog& page = OpenPage();
  frame_->Focus();
  QApplication::processEvents();
  EXPECT_EQ(page.FocusedItem(), 0);
  EXPECT_TRUE(events_.commands.empty()) << "no control was focused";
  page.UserFocus(kEdit);
  EXPECT_EQ(page.FocusedItem(), kEdit);
  page.UserFocus(kList);
  EXPECT_EQ(events_.commands, (std::vector<Notification>{{kEdit, ui::kEnSetFocus},
                                                         {kEdit, ui::kEnKillFocus},
                                                         {kList, ui::kLbnSetFocus}}));
}

TEST_F(WindowLayerTest, MenuOpensWithItsPositionAndGreyItemsDoNothing) {
  OpenPage();
  frame_->UserOpenMenu(2);
  frame_->UserOpenMenu(0);  // the empty entry has no list
  EXPECT_EQ(frame_events_.popups, std::vector<int>{2});
  frame_->UserMenuCommand(40009);
  frame_->EnableMenuItem(40009, false);
  EXPECT_FALSE(frame_->IsMenuItemEnabled(40009));
  EXPECT_TRUE(frame_->IsMenuItemEnabled(40008));
  frame_->UserMenuCommand(40009);
  frame_->UserMenuCommand(65535);
  EXPECT_EQ(frame_events_.commands, (std::vector<Notification>{{40009, ui::kFromMenu}}));
}

TEST_F(WindowLayerTest, AcceleratorsReachTheTargetEvenFromAnEdit) {
  ui::Dialog& page = OpenPage();
  ui::SetAccelerators(&accelerators_[0], frame_.get());
  EXPECT_EQ(ui::AcceleratorTarget(), frame_.get());
  page.SetItemText(kEdit, "abc");
  page.SetEditSelection(kEdit, 0, -1);
  QApplication::clipboard()->clear();
  QWidget* edit = Visible(kEdit);
  ASSERT_NE(edit, nullptr);
  Key(edit, Qt::Key_C, Qt::ControlModifier);
  EXPECT_FALSE(ui::ClipboardHasText()) << "the edit never saw Ctrl+C";
  Key(edit, Qt::Key_End, Qt::NoModifier);
  Key(edit, Qt::Key_End, Qt::ShiftModifier);  // a VIRTKEY entry wants no Shift
  Key(edit, Qt::Key_X, Qt::ControlModifier);  // not in the table: the edit's
  Key(edit, Qt::Key_unknown, Qt::NoModifier, "d");
  EXPECT_EQ(frame_events_.commands, (std::vector<Notification>{{40009, ui::kFromAccelerator},
                                                               {40017, ui::kFromAccelerator}}));
  EXPECT_EQ(QApplication::clipboard()->text(), "abc") << "Ctrl+X was the edit's";
  EXPECT_EQ(page.GetItemText(kEdit), "d");

  // Enter away from a button is the frame's; on a button it presses it.
  Key(edit, Qt::Key_Return, Qt::NoModifier);
  EXPECT_EQ(frame_events_.enters, 1);
  events_.commands.clear();
  Key(Visible(kButton), Qt::Key_Return, Qt::NoModifier);
  EXPECT_EQ(events_.commands, (std::vector<Notification>{{kButton, ui::kBnClicked}}));

  frame_.reset();  // the target goes: translation stops
  EXPECT_EQ(ui::AcceleratorTarget(), nullptr);
}

TEST_F(WindowLayerTest, CloseBoxOnlyAsksAndAFrameMayGoInsideItsOwnEvents) {
  OpenPage();
  QWidget* window = Visible(kEdit)->window();
  window->close();
  EXPECT_EQ(frame_events_.closes, 1);
  EXPECT_TRUE(window->isVisible()) << "the program decides";

  // The page and the frame destroyed from the frame's close, as a page
  // window closes itself.
  frame_events_.on_close = [this](ui::Frame&) {
    page_.reset();
    frame_.reset();
  };
  window->close();
  EXPECT_EQ(frame_, nullptr);
  Settle();

  // A page destroyed from its own button's click, and from its timer.
  OpenPage();
  events_.on_command = [this](ui::Dialog&, int id, int) {
    if (id == kButton) page_.reset();
  };
  Visible(kButton)->setFocus();
  Key(Visible(kButton), Qt::Key_Space, Qt::NoModifier);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier);
  QApplication::sendEvent(Visible(kButton), &release);
  EXPECT_EQ(page_, nullptr);
  Settle();
  page_ = ui::CreatePage(templates_[0], *frame_, events_);
  events_.on_timer = [this](ui::Dialog&, int) { page_.reset(); };
  page_->SetTimer(1, 1);
  for (int i = 0; i < 100 && page_ != nullptr; ++i) {
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  }
  EXPECT_EQ(page_, nullptr);
  Settle();
}

// A modal dialog with an answer button and one the test's events refuse.
constexpr char kModalText[] = R"rc(DIALOG 400 "確認" 0 0 120 60
FONT 9 "IPAGothic"
LTEXT 10 "一行目" 5 5 100 8
LTEXT 11 "" 5 15 100 8
DEFPUSHBUTTON 1 "はい" 10 40 40 14
PUSHBUTTON 7 "いいえ" 60 40 40 14
END
)rc";

class ModalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GuiApplication();
    ASSERT_TRUE(ui::ParseDialogTemplates(kModalText, templates_, nullptr));
  }
  void TearDown() override {
    ui::SetModalObserver(nullptr);
    ui::SetScriptedAnswers({});
  }
  std::vector<ui::DialogTemplate> templates_;
};

// Ends on buttons 1 and 7 only; Escape and the close box are ignored.
class Refuser : public Recorder {
 public:
  void OnInit(ui::Dialog& dialog) override { dialog.SetItemText(11, Sjis("二行目")); }
  void OnCommand(ui::Dialog& dialog, int id, int code) override {
    Recorder::OnCommand(dialog, id, code);
    if (id == 1 || id == 7) dialog.EndDialog(id);
  }
};

TEST_F(ModalTest, EscapeAndTheCloseBoxGoToTheEventsWhichMayRefuse) {
  Refuser events;
  bool shown_after = false;
  ui::SetModalObserver([&](ui::Dialog& dialog) {
    QWidget* window = Visible(1)->window();
    Key(window, Qt::Key_Escape, Qt::NoModifier);
    window->close();
    shown_after = dialog.IsShown();
    Key(window, Qt::Key_Return, Qt::NoModifier);  // the default button
  });
  EXPECT_EQ(ui::RunModal(templates_[0], events, ui::ModalOptions()), 1);
  EXPECT_TRUE(shown_after);
  EXPECT_EQ(events.commands, (std::vector<Notification>{{ui::kIdCancel, ui::kBnClicked},
                                                        {ui::kIdCancel, ui::kBnClicked},
                                                        {1, ui::kBnClicked}}));
}

TEST_F(ModalTest, ScriptedYesPressesControlOneAndTheTranscriptShowsTheTexts) {
  QTemporaryDir grabs;
  const std::string transcript = grabs.path().toStdString() + "/transcript";
  ui::TestHooks hooks;
  hooks.transcript = transcript;
  hooks.grab_folder = grabs.path().toStdString();
  ui::SetTestHooks(hooks);
  Refuser events;
  ui::SetScriptedAnswers({"YES", "7", "no"});
  const int first = ui::RunModal(templates_[0], events, ui::ModalOptions());
  const int second = ui::RunModal(templates_[0], events, ui::ModalOptions());
  const int third = ui::RunModal(templates_[0], events, ui::ModalOptions());
  ui::SetTestHooks({});
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 7);
  EXPECT_EQ(third, 7);
  QFile file(QString::fromStdString(transcript));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString line = QString::fromUtf8(file.readLine());
  EXPECT_EQ(line, QString::fromUtf8("dialog 400\t確認\t一行目\\n二行目\n"));
  EXPECT_TRUE(QFile::exists(grabs.path() + "/dialog-400-1.png"));
  EXPECT_TRUE(QFile::exists(grabs.path() + "/dialog-400-3.png"));
}

// The hooks are the program's own once read: a variable changed later is
// not looked at, and taking the channels away from children (before the
// installer starts the suite) leaves this program its pictures and its
// transcript.
TEST_F(ModalTest, TestHooksStayAsReadWhateverTheEnvironmentDoesLater) {
  QTemporaryDir folder;
  const std::string transcript = folder.path().toStdString() + "/transcript";
  const std::string elsewhere = folder.path().toStdString() + "/elsewhere";
  ui::TestHooks hooks;
  hooks.transcript = transcript;
  hooks.grab_folder = folder.path().toStdString();
  ui::SetTestHooks(hooks);
  setenv(ui::kTranscriptVariable, elsewhere.c_str(), 1);
  setenv(ui::kGrabFolderVariable, elsewhere.c_str(), 1);
  ui::KeepTestChannelsFromChildren();
  EXPECT_EQ(std::getenv(ui::kGrabFolderVariable), nullptr) << "children must not grab";
  EXPECT_EQ(std::getenv(ui::kTranscriptVariable), elsewhere) << "children append to it";

  Refuser events;
  ui::SetScriptedAnswers({"7"});
  const int result = ui::RunModal(templates_[0], events, ui::ModalOptions());
  unsetenv(ui::kTranscriptVariable);
  ui::SetTestHooks({});
  EXPECT_EQ(result, 7);
  EXPECT_EQ(QDir(folder.path()).entryList({"dialog-400-*.png"}).size(), 1);
  EXPECT_TRUE(QFile::exists(QString::fromStdString(transcript)));
  EXPECT_FALSE(QFile::exists(QString::fromStdString(elsewhere)));
}

TEST_F(ModalTest, EndDialogDuringInitReturnsWithoutShowing) {
  class Quick : public ui::DialogEvents {
    void OnInit(ui::Dialog& dialog) override { dialog.EndDialog(42); }
  } events;
  bool observed = false;
  ui::SetModalObserver([&](ui::Dialog&) { observed = true; });
  EXPECT_EQ(ui::RunModal(templates_[0], events, ui::ModalOptions()), 42);
  EXPECT_FALSE(observed);
}

}  // namespace
}  // namespace zvrx::test
