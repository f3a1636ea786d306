// The ReportDialog of an automatic check: the text split at line feeds into
// at most four lines, a one-line layout for a short single line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/dialog_template.h"

namespace zvrx {

inline constexpr int kReportOneLineDialog = 110;
inline constexpr int kReportFourLineDialog = 111;
inline constexpr int kReportFirstLineId = 1000;  // the text lines are 1000..1003
inline constexpr int kReportMaxLines = 4;
inline constexpr size_t kReportOneLineLimit = 60;  // bytes that still fit the short layout

struct ReportLayout {
  int template_id = kReportOneLineDialog;
  std::vector<std::string> lines;  // CP932, without their line feeds
};

// Each piece ending in a line feed fills one line; a last piece without
// one is shown too rather than lost. Lines past the fourth are dropped.
ReportLayout LayOutReport(std::string_view text);

// Shows the dialog on the main thread until OK (or its close, which also
// counts as OK).
void RunReportDialog(const std::vector<platform::ui::DialogTemplate>& templates,
                     std::string_view text);

}  // namespace zvrx
