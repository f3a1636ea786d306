#include "checker/app/window_checker_ui.h"

#include "checker/app/report_dialog.h"
#include "platform/cp932.h"
#include "platform/ui/application.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/message_box.h"

namespace zvrx {

namespace ui = platform::ui;

void WindowCheckerUi::ShowFatalMessage(std::string_view text) {
  ui::RunOnMainThread([text] {
    ui::MessageBox(text, kFatalCaption, ui::kMbSystemModal | ui::kMbIconInformation);
  });
}

void WindowCheckerUi::ShowReportDialog(std::string_view text) {
  ui::RunOnMainThread([this, text] { RunReportDialog(templates_, text); });
}

void WindowCheckerUi::ShowDataProblems(const std::vector<std::string>& lines) {
  CheckerUi::ShowDataProblems(lines);
  // The file names and reasons are ASCII; the rest reads like the
  // program's other notices.
  std::string text = platform::Utf8ToCp932(
      "Mail Zevrox\n配布されたデータファイルに壊れたもの、または見つからないものがあります。"
      "これらのファイルは使用しません。\n\n");
  for (const std::string& line : lines) {
    if (line.starts_with("text analysis off")) {
      text += platform::Utf8ToCp932("\n本文の分析を止め、拒否リストだけで判定します。\n");
    } else {
      text += platform::Utf8ToCp932(line) + "\n";
    }
  }
  text += platform::Utf8ToCp932("\nMail Zevrox を入れ直してください。");
  ui::RunOnMainThread([&text] {
    ui::MessageBox(text, kFatalCaption, ui::kMbSystemModal | ui::kMbIconExclamation);
  });
}

std::string WindowCheckerUi::PickMailProgram(std::string_view start_folder) {
  ui::OpenFileRequest request;
  request.filters = {{platform::Utf8ToCp932("実行ﾌｱｲﾙ (*.EXE)"), "*.exe"},
                     {platform::Utf8ToCp932("すへてのﾌｱｲﾙ (*.*)"), "*.*"}};
  request.default_extension = "EXE";
  request.start_folder = std::string(start_folder);
  std::string chosen;
  ui::RunOnMainThread([&] { chosen = ui::GetOpenFileName(request); });
  return chosen;
}

// Only a fatal error asks; the exit code is settled when the loop has ended.
void WindowCheckerUi::RequestQuit() { ui::PostQuit(0); }

}  // namespace zvrx
