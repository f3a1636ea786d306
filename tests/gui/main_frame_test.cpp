// The whole settings program in-process, offscreen: the main frame's menu,
// the page-window framework with a small page of the test's own, and the
// program's close with its questions.
#include <sys/stat.h>

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/cp932.h"
#include "platform/ui/transcript.h"
#include "platform/ui/window.h"
#include "settings/app/settings_program.h"
#include "settings/message_dialogs.h"
#include "settings/model/window_placement.h"
#include "settings/pages/basic_page.h"
#include "settings/pages/page_window.h"
#include "shared/record_files.h"
#include "tests/gui/page_fixture.h"
#include "tests/support/sjis.h"
#include "tests/support/temp_prefix.h"
#include "tests/support/wait_until.h"

namespace zvrx {
namespace {

namespace ui = platform::ui;

using test::Sjis;

// What the test sees of its page, kept beyond the page's life.
struct Probe {
  bool may_close = true;
  int close_requests = 0;
  std::vector<int> edit_commands;
};

// A page of the test's own: dialog 101's template stands in for a page's.
class TestPage : public Page {
 public:
  TestPage(SettingsState& state, int* created, std::shared_ptr<Probe> probe)
      : Page(state, kBasicDialogId), created_(created), probe_(std::move(probe)) {}
  void InitPage(ui::Dialog&) override { ++*created_; }
  bool RequestClose() override {
    ++probe_->close_requests;
    return probe_->may_close;
  }
  void OnEditCommand(int command) override { probe_->edit_commands.push_back(command); }

 private:
  int* created_;
  std::shared_ptr<Probe> probe_;
};

class MainFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::LoadGuiResources(resources_));
    ui::SetModalObserver([this](ui::Dialog& dialog) {
      dialogs_.push_back(dialog.TemplateId());
      // A dialog without an answer would wait for ever.
      if (unanswered_ == 0) {
        ADD_FAILURE() << "unexpected dialog " << dialog.TemplateId();
        dialog.EndDialog(ui::kIdCancel);
      } else {
        --unanswered_;
      }
    });
    program_ = std::make_unique<SettingsProgram>(resources_, [this](int code) { quit_ = code; });
    program_->Start();
  }
  void TearDown() override {
    program_.reset();
    ui::SetModalObserver(nullptr);
    ui::SetScriptedAnswers({});
  }

  void Answer(std::vector<std::string> answers) {
    unanswered_ = answers.size();
    ui::SetScriptedAnswers(std::move(answers));
  }
  SettingsState& state() { return program_->state(); }
  ui::Frame& main_frame() { return program_->main_frame().frame(); }
  ui::Dialog& basic() { return program_->main_frame().basic_page().dialog(); }
  PageWindow* OpenTestPage(PageKind kind, std::shared_ptr<Probe> probe = nullptr) {
    if (probe == nullptr) probe = std::make_shared<Probe>();
    return OpenPage(state(), kind, std::make_unique<TestPage>(state(), &pages_created_, probe));
  }

  test::TempPrefix prefix_;
  SettingsResources resources_;
  std::unique_ptr<SettingsProgram> program_;
  std::optional<int> quit_;
  std::vector<int> dialogs_;
  size_t unanswered_ = 0;
  int pages_created_ = 0;
};

TEST_F(MainFrameTest, MainFrameCarriesItsMenu) {
  EXPECT_EQ(main_frame().WindowClass(), "ZvrxDlg");
  EXPECT_TRUE(main_frame().IsShown());
  EXPECT_EQ(state().main_frame, &main_frame());
  EXPECT_EQ(ui::AcceleratorTarget(), &main_frame());

  // Each entry of the bar with its items; 0 is a separator.
  const ui::MenuTemplate* menu = ui::FindMenu(resources_.menus, kMainMenuId);
  ASSERT_NE(menu, nullptr);
  const std::vector<std::pair<const char*, std::vector<int>>> expected = {
      {"ﾌｧｲﾙ(&F)", {kCmdExit}},
      {"編集(&E)", {kCmdUndo, 0, kCmdCut, kCmdCopy, kCmdPaste}},
      {"設定(&O)",
       {kCmdBasic, 0, kCmdOptions, kCmdJudgment, 0, kCmdAcceptanceList, kCmdRejectionList, 0,
        kCmdWorkLog}},
      {"ﾍﾙﾌﾟ(&H)", {kCmdHelp}},
  };
  ASSERT_EQ(menu->bar.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(menu->bar[i].text, Sjis(expected[i].first));
    std::vector<int> ids;
    for (const auto& item : menu->bar[i].items) ids.push_back(item.separator ? 0 : item.id);
    EXPECT_EQ(ids, expected[i].second) << expected[i].first;
  }
  EXPECT_EQ(menu->bar[0].items[0].text, Sjis("終了\tCtrl+Q"));
}

TEST_F(MainFrameTest, OpeningAPageTwiceLeavesOneWindowRestoredAndFocused) {
  // The options page compares against what it showed when it opened.
  state().records.options.option_bits = kOptManualReport;
  std::strcpy(state().records.mailer.mailer_path, "Z:\\usr\\bin\\mailer");
  PageWindow* first = OpenTestPage(PageKind::kOptions);
  EXPECT_EQ(state().snapshots.options.option_bits, kOptManualReport);
  EXPECT_STREQ(state().snapshots.mailer.mailer_path, "Z:\\usr\\bin\\mailer");
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(PageOpen(state(), PageKind::kOptions));
  EXPECT_EQ(first->frame().WindowClass(), "OptionSetei");
  EXPECT_TRUE(first->frame().IsShown());
  EXPECT_EQ(ui::AcceleratorTarget(), &first->frame());

  first->frame().Minimise();
  PageWindow* second = OpenTestPage(PageKind::kOptions);
  EXPECT_EQ(second, first);
  EXPECT_EQ(pages_created_, 1);
  EXPECT_FALSE(first->frame().IsMinimised());
}

TEST_F(MainFrameTest, PagesCascadeFromTheMainFrame) {
  const ui::SystemMetrics metrics = ui::Metrics();
  const ui::PixelRect main = main_frame().Rect();
  OpenTestPage(PageKind::kOptions);
  OpenTestPage(PageKind::kJudgment);
  OpenTestPage(PageKind::kAcceptanceList);
  PageWindow* fourth = OpenTestPage(PageKind::kWorkLog);
  ASSERT_NE(fourth, nullptr);
  const ui::PixelRect rect = fourth->frame().Rect();
  const PixelPoint expected = PlaceWindow(metrics, rect, main, 4);
  EXPECT_EQ(rect.x, expected.x);
  EXPECT_EQ(rect.y, expected.y);
  // Unclamped on the test screen: four steps down and 96 pixels right.
  if (expected.x == main.x + 96) {
    EXPECT_EQ(rect.y, main.y + 4 * (metrics.caption_height + metrics.menu_height));
  }
}

TEST_F(MainFrameTest, PageRoutesItsMenuAndCloses) {
  auto page = std::make_shared<Probe>();
  PageWindow* window = OpenTestPage(PageKind::kRejectionList, page);
  ASSERT_NE(window, nullptr);
  ui::Frame& frame = window->frame();

  frame.UserMenuCommand(kCmdCopy);
  frame.UserMenuCommand(kCmdUndo);
  EXPECT_EQ(page->edit_commands, (std::vector<int>{kCmdCopy, kCmdUndo}));
  // The Edit menu (after the empty first entry) greys what the page cannot do.
  frame.UserOpenMenu(2);
  for (int command : {kCmdUndo, kCmdCut, kCmdCopy, kCmdPaste}) {
    EXPECT_FALSE(frame.IsMenuItemEnabled(command)) << command;
  }

  // Exit and help belong to the main frame; a page lets them pass.
  window->OnCommand(frame, kCmdExit, ui::kFromAccelerator);
  EXPECT_FALSE(quit_.has_value());
  EXPECT_TRUE(PageOpen(state(), PageKind::kRejectionList));

  // A page that keeps itself open (its question cancelled) stays.
  page->may_close = false;
  frame.UserMenuCommand(kCmdClosePage);
  EXPECT_EQ(page->close_requests, 1);
  EXPECT_TRUE(PageOpen(state(), PageKind::kRejectionList));

  page->may_close = true;
  frame.Close();
  EXPECT_FALSE(PageOpen(state(), PageKind::kRejectionList));
  EXPECT_EQ(ui::AcceleratorTarget(), &main_frame());
}

TEST_F(MainFrameTest, CloseWithAFullWidthAccountCharacterStaysAndKeepsTheAsciiPart) {
  Answer({"OK"});  // the first-use notice of an empty machine
  basic().UserType(kIdAccount, "abc" + Sjis("あ") + "d");
  main_frame().Close();
  EXPECT_FALSE(quit_.has_value());
  EXPECT_TRUE(main_frame().IsShown());
  EXPECT_EQ(basic().GetItemText(kIdAccount), "abcd");
  EXPECT_EQ(dialogs_, std::vector<int>{kNoticeDialogId});
}

TEST_F(MainFrameTest, EnterChecksOnlyAValidAccountText) {
  Answer({"OK"});
  basic().UserType(kIdAccount, "abc" + Sjis("あ"));
  program_->main_frame().OnEnter(main_frame());
  EXPECT_EQ(basic().GetItemText(kIdAccount), "abc");
  EXPECT_EQ(dialogs_, std::vector<int>{kNoticeDialogId});

  // Valid now, but no account has a password: the no-account report.
  Answer({"OK"});
  program_->main_frame().OnEnter(main_frame());
  EXPECT_EQ(dialogs_, (std::vector<int>{kNoticeDialogId, kDialogOkId}));
}

TEST_F(MainFrameTest, CloseAsksToSaveTheBasicSettings) {
  Answer({"OK"});
  basic().UserType(kIdAccount, "user@example.jp");
  basic().UserType(kIdPassword, "secret");
  ASSERT_NE(state().changed_marks & kChangedBasic, 0);

  Answer({"CANCEL"});
  main_frame().UserMenuCommand(kCmdExit);
  EXPECT_FALSE(quit_.has_value());
  EXPECT_TRUE(main_frame().IsShown());

  Answer({"YES"});
  main_frame().Close();
  EXPECT_EQ(quit_, 0);
  EXPECT_FALSE(main_frame().IsShown());
  EXPECT_EQ(dialogs_, (std::vector<int>{kNoticeDialogId, kDialogOkNoCancelId, kDialogOkNoCancelId}));

  BasicSettings saved{};
  ASSERT_TRUE(LoadBasicSettings(saved));
  EXPECT_STREQ(saved.accounts[0], "user@example.jp");
  EXPECT_STREQ(saved.passwords[0], "secret");
  EXPECT_EQ(saved.account_mask, 1);  // recomputed on the way out
}

TEST_F(MainFrameTest, CloseAnsweredNoSavesNothing) {
  Answer({"OK"});
  basic().UserType(kIdAccount, "user@example.jp");
  Answer({"NO"});
  main_frame().Close();
  EXPECT_EQ(quit_, 0);
  BasicSettings saved{};
  EXPECT_FALSE(LoadBasicSettings(saved));
}

TEST_F(MainFrameTest, AChangedPageIsAskedFirstAndCanKeepTheProgramOpen) {
  auto page = std::make_shared<Probe>();
  OpenTestPage(PageKind::kJudgment, page);
  state().changed_marks |= kChangedJudgment;
  page->may_close = false;
  main_frame().Close();
  EXPECT_EQ(page->close_requests, 1);
  EXPECT_FALSE(quit_.has_value());

  // An unchanged page is not asked; the work log never is.
  auto log = std::make_shared<Probe>();
  OpenTestPage(PageKind::kWorkLog, log);
  page->may_close = true;
  main_frame().Close();
  EXPECT_EQ(page->close_requests, 2);
  EXPECT_EQ(log->close_requests, 0);
  EXPECT_EQ(quit_, 0);
}

TEST_F(MainFrameTest, EndFromOutsideAsksNothingAndSavesNothing) {
  Answer({"OK"});
  basic().UserType(kIdAccount, "user@example.jp");
  program_->main_frame().EndWithoutQuestions();
  EXPECT_EQ(quit_, 0);
  EXPECT_FALSE(main_frame().IsShown());
  EXPECT_EQ(dialogs_, std::vector<int>{kNoticeDialogId});
  BasicSettings saved{};
  EXPECT_FALSE(LoadBasicSettings(saved));
}

bool WaitForFile(const std::string& path, int timeout_ms) {
  struct stat info {};
  return test::WaitUntil([&] { return stat(path.c_str(), &info) == 0; }, timeout_ms, 50);
}

// The End key as a person presses it, on the control that has the focus in
// the window titled `title_utf8` (offscreen, no window is ever active).
void PressEnd(const QString& title_utf8) {
  QWidget* target = nullptr;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->isVisible() && window->windowTitle() == title_utf8) {
      target = window->focusWidget() != nullptr ? window->focusWidget() : window;
    }
  }
  ASSERT_NE(target, nullptr) << title_utf8.toStdString();
  QTest::keyClick(target, Qt::Key_End);
}

// Test channels of this process for the length of a test; a script set
// beforehand keeps the answers variable from ever being read here.
class TestChannelsSet {
 public:
  explicit TestChannelsSet(const std::string& folder) {
    ui::SetScriptedAnswers({});
    setenv("ZVRX_UI_CONTROL", (folder + "/control").c_str(), 1);
    setenv("ZVRX_UI_ANSWERS", "OK", 1);
    setenv("ZVRX_UI_GRAB_DIR", folder.c_str(), 1);
  }
  ~TestChannelsSet() {
    for (const char* name : kNames) unsetenv(name);
  }
  static constexpr const char* kNames[] = {"ZVRX_UI_CONTROL", "ZVRX_UI_ANSWERS",
                                           "ZVRX_UI_GRAB_DIR"};
};

TEST_F(MainFrameTest, HelpStartsTheViewerFromTheInstallRoot) {
  // A viewer that leaves a mark, in place of ZvrxHelp: the test channels it
  // was given, one line each ("-" for none).
  const std::string mark = prefix_.path() + "/help-started";
  const std::string viewer = prefix_.InstallRootHost() + "/ZvrxHelp";
  test::WriteHostFile(viewer, "#!/bin/sh\n"
                              "printf '%s\\n' \"${ZVRX_UI_CONTROL--}\" \"${ZVRX_UI_ANSWERS--}\" "
                              "\"${ZVRX_UI_GRAB_DIR--}\" >'" + mark + ".part'\n"
                              "mv '" + mark + ".part' '" + mark + "'\n");
  chmod(viewer.c_str(), 0755);

  {
    // The viewer takes over none of the program's test channels, and the
    // program keeps them for itself.
    const TestChannelsSet channels(prefix_.path());
    main_frame().UserMenuCommand(kCmdHelp);
    EXPECT_TRUE(WaitForFile(mark, 5000)) << "from the menu";
    EXPECT_EQ(test::ReadHostFile(mark), "-\n-\n-\n");
    for (const char* name : TestChannelsSet::kNames) {
      EXPECT_NE(std::getenv(name), nullptr) << name;
    }
  }
  std::remove(mark.c_str());

  // End goes to the main frame as help, even from inside the account field.
  main_frame().Focus();
  basic().FocusItem(kIdAccount);
  PressEnd("Mail Zevrox");
  EXPECT_TRUE(WaitForFile(mark, 5000)) << "End in the account field";
  std::remove(mark.c_str());

  // While a page is the target, End does nothing.
  PageWindow* page = OpenTestPage(PageKind::kWorkLog);
  ASSERT_NE(page, nullptr);
  page->frame().Focus();
  PressEnd(QString::fromUtf8("作業記録"));
  EXPECT_FALSE(WaitForFile(mark, 500)) << "End with a page as the target";

  // Without a viewer nothing is reported.
  std::remove(viewer.c_str());
  main_frame().UserMenuCommand(kCmdHelp);
  EXPECT_TRUE(dialogs_.empty());
}

}  // namespace
}  // namespace zvrx
