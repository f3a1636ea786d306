#include "checker/app/report_dialog.h"

#include <cstdio>

namespace zvrx {

namespace ui = platform::ui;

ReportLayout LayOutReport(std::string_view text) {
  ReportLayout layout;
  std::string_view rest = text;
  while (!rest.empty() && static_cast<int>(layout.lines.size()) < kReportMaxLines) {
    size_t end = rest.find('\n');
    layout.lines.emplace_back(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  // A second line would be lost in the short layout.
  if (text.size() > kReportOneLineLimit || layout.lines.size() > 1) {
    layout.template_id = kReportFourLineDialog;
  }
  return layout;
}

void RunReportDialog(const std::vector<ui::DialogTemplate>& templates, std::string_view text,
                     const std::function<void(ui::DialogContext&)>& shown) {
  const ReportLayout layout = LayOutReport(text);
  const ui::DialogTemplate* dialog = ui::FindTemplate(templates, layout.template_id);
  if (dialog == nullptr) {
    std::fprintf(stderr, "ZVRX: dialog %d is missing from the resources\n", layout.template_id);
    return;
  }
  ui::DialogHandlers handlers;
  handlers.init = [&layout](ui::DialogContext& context) {
    for (size_t i = 0; i < layout.lines.size(); ++i) {
      context.SetItemText(kReportFirstLineId + static_cast<int>(i), layout.lines[i]);
    }
  };
  handlers.command = [](ui::DialogContext& context, int id) {
    if (id == ui::kIdOk || id == ui::kIdCancel) context.EndDialog(ui::kIdOk);
  };
  handlers.shown = shown;
  ui::DoModalDialog(*dialog, handlers);
}

}  // namespace zvrx
