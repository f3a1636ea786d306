// The checker's windows: the worker's fatal message, report dialog and
// file dialog, each run on the main thread while the worker waits.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "checker/core/checker_ui.h"
#include "platform/ui/dialog_template.h"

namespace zvrx {

inline constexpr char kFatalCaption[] = "MailZevrox";

class WindowCheckerUi : public CheckerUi {
 public:
  explicit WindowCheckerUi(std::vector<platform::ui::DialogTemplate> templates)
      : templates_(std::move(templates)) {}

  void ShowFatalMessage(std::string_view text) override;
  void ShowReportDialog(std::string_view text) override;
  std::string PickMailProgram(std::string_view start_folder) override;
  // Standard error, then one message box that names every refused file.
  void ShowDataProblems(const std::vector<std::string>& lines) override;
  void RequestQuit() override;

 private:
  std::vector<platform::ui::DialogTemplate> templates_;
};

}  // namespace zvrx
