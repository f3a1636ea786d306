// The transcript of modal dialogs and the scripted answers, each run in a
// fresh process (the script is read once per process): message boxes,
// template dialogs and the file-open dialog write their line and take the
// next answer instead of waiting.
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "checker/app/report_dialog.h"
#include "platform/cp932.h"
#include "platform/drives.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/message_box.h"
#include "platform/ui/transcript.h"
#include "platform/ui/window.h"
#include "tests/gui/gui_application.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace ui = platform::ui;

// The child process runs the test body again from the start; the folder
// the parent made reaches it through the environment.
constexpr char kFolderVariable[] = "ZVRX_GUI_SCRIPT_FOLDER";

class TranscriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* inherited = std::getenv(kFolderVariable);
    if (inherited != nullptr) {
      folder_ = inherited;
    } else {
      std::string pattern = (std::filesystem::temp_directory_path() / "zvrx-gui-XXXXXX").string();
      folder_ = mkdtemp(pattern.data());
      setenv(kFolderVariable, folder_.c_str(), 1);
      owner_ = true;
    }
    transcript_ = folder_ + "/transcript";
  }
  void TearDown() override {
    if (!owner_) return;
    unsetenv(kFolderVariable);
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  std::string folder_;
  std::string transcript_;
  bool owner_ = false;
};

// Runs `dialogs` in the child with the script; the child ends with the
// number of results that were not as expected.
[[noreturn]] void RunScripted(const std::string& transcript, const std::string& answers,
                              const std::function<int()>& dialogs) {
  setenv("ZVRX_UI_TRANSCRIPT", transcript.c_str(), 1);
  setenv("ZVRX_UI_ANSWERS", answers.c_str(), 1);
  test::GuiApplication();
  std::exit(dialogs());
}

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  std::string text = test::ReadHostFile(path);
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

TEST_F(TranscriptTest, MessageBoxesTakeTheScriptedButtonsInOrder) {
  EXPECT_EXIT(RunScripted(transcript_, "NO,yes,RETRY", [] {
    int failures = 0;
    const std::string text = platform::Utf8ToCp932("削除しますか？\n\tC:\\ZVRX");
    failures += ui::MessageBox(text, "MailZevrox", ui::kMbYesNo | ui::kMbIconQuestion) != ui::kIdNo;
    failures += ui::MessageBox("second", "Cap", ui::kMbYesNo) != ui::kIdYes;
    // A button the box lacks closes it like its only button would.
    failures += ui::MessageBox("third", "Cap", ui::kMbOk | ui::kMbSystemModal) != ui::kIdOk;
    return failures;
  }), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(Lines(transcript_), (std::vector<std::string>{
                                    "messagebox\tMailZevrox\t削除しますか？\\n\\tC:\\\\ZVRX",
                                    "messagebox\tCap\tsecond",
                                    "messagebox\tCap\tthird"}));
}

TEST_F(TranscriptTest, ReportDialogWritesItsTemplateAndTextThenTakesOk) {
  EXPECT_EXIT(RunScripted(transcript_, "OK", [] {
    std::vector<ui::DialogTemplate> templates;
    ui::LoadDialogTemplates(ZVRX_SOURCE_DIR "/resources/checker/report_dialog.dlg", templates,
                            nullptr);
    RunReportDialog(templates, platform::Utf8ToCp932("新しいメールは届いていません。\n"));
    // The script is used up: the test closes the second report itself.
    ui::SetModalObserver([](ui::Dialog& d) { d.EndDialog(ui::kIdOk); });
    RunReportDialog(templates, "a\nb\n");
    return 0;
  }), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(Lines(transcript_),
            (std::vector<std::string>{"dialog 110\t  Mail Zevrox\t新しいメールは届いていません。",
                                      "dialog 111\t  Mail Zevrox\ta\\nb\\n\\n"}));
}

TEST_F(TranscriptTest, FileDialogTakesAScriptedPathAsAWindowsPath) {
  const std::string chosen = folder_ + "/メール.exe";
  const std::string answers = chosen + ",CANCEL";
  EXPECT_EXIT(RunScripted(transcript_, answers, [&chosen] {
    int failures = 0;
    ui::OpenFileRequest request;
    request.filters = {{"Programs", "*.exe"}};
    request.start_folder = "Z:\\tmp";
    failures += ui::GetOpenFileName(request) != platform::WindowsPath(chosen);
    failures += !ui::GetOpenFileName(request).empty();
    return failures;
  }), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(Lines(transcript_), (std::vector<std::string>{"fileopen\t\tZ:\\\\tmp",
                                                          "fileopen\t\tZ:\\\\tmp"}));
}

TEST(ButtonNamesTest, NamesMapToTheirIdsInAnyCase) {
  EXPECT_EQ(ui::ButtonIdOf("ok"), ui::kIdOk);
  EXPECT_EQ(ui::ButtonIdOf("Cancel"), ui::kIdCancel);
  EXPECT_EQ(ui::ButtonIdOf("YES"), ui::kIdYes);
  EXPECT_EQ(ui::ButtonIdOf("NO"), ui::kIdNo);
  EXPECT_EQ(ui::ButtonIdOf("/tmp/OK"), 0);
}

}  // namespace
}  // namespace zvrx
