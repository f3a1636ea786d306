#include "checker/app/report_dialog.h"

#include <cstdio>

#include "platform/ui/window.h"

namespace zvrx {

namespace ui = platform::ui;

namespace {

// Fills the lines; OK and Escape both close with OK.
class ReportEvents : public ui::DialogEvents {
 public:
  explicit ReportEvents(const ReportLayout& layout) : layout_(layout) {}
  void OnInit(ui::Dialog& dialog) override {
    for (size_t i = 0; i < layout_.lines.size(); ++i) {
      dialog.SetItemText(kReportFirstLineId + static_cast<int>(i), layout_.lines[i]);
    }
  }
  void OnCommand(ui::Dialog& dialog, int id, int code) override {
    if (code != ui::kBnClicked) return;
    if (id == ui::kIdOk || id == ui::kIdCancel) dialog.EndDialog(ui::kIdOk);
  }

 private:
  const ReportLayout& layout_;
};

}  // namespace

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

void RunReportDialog(const std::vector<ui::DialogTemplate>& templates, std::string_view text) {
  const ReportLayout layout = LayOutReport(text);
  const ui::DialogTemplate* dialog = ui::FindTemplate(templates, layout.template_id);
  if (dialog == nullptr) {
    std::fprintf(stderr, "ZVRX: dialog %d is missing from the resources\n", layout.template_id);
    return;
  }
  ReportEvents events(layout);
  ui::RunModal(*dialog, events, ui::ModalOptions());
}

}  // namespace zvrx
