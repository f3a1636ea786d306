#include "settings/message_dialogs.h"

#include <array>
#include <span>
#include <string>

#include "platform/ui/transcript.h"
#include "settings/message_table.h"

namespace zvrx {

namespace {

namespace ui = platform::ui;

// Buttons: "はい" carries id 1 in every dialog.
constexpr int kIdYesButton = 1;
constexpr int kIdNoButton = 7;
constexpr int kIdCancelButton = 2;

constexpr std::array kOkLines{1081, 1082, 1083, 1084};
constexpr std::array kNoticeLines{1101, 1102, 1103};
constexpr std::array kYesNoLines{1091, 1092, 1093, 1094, 1095};
constexpr int kQuestionText = 1061;
constexpr int kNoticeIcon = 1079;
constexpr int kQuestionIcon = 1085;

struct Shape {
  int template_id;
  std::span<const int> lines;  // empty: the whole text in kQuestionText
  int icon;                    // 0: none
};

Shape ShapeOf(MessageDialogKind kind) {
  switch (kind) {
    case MessageDialogKind::kOk:
      return {kDialogOkId, kOkLines, 0};
    case MessageDialogKind::kNotice:
      return {kNoticeDialogId, kNoticeLines, kNoticeIcon};
    case MessageDialogKind::kYesNo:
      return {kDialogOkNoId, kYesNoLines, 0};
    case MessageDialogKind::kYesNoCancel:
      break;
  }
  return {kDialogOkNoCancelId, {}, kQuestionIcon};
}

class MessageDialog : public ui::DialogEvents {
 public:
  MessageDialog(MessageDialogKind kind, std::string text, const ui::PixelRect* owner)
      : kind_(kind), shape_(ShapeOf(kind)), text_(std::move(text)), owner_(owner) {}

  void OnInit(ui::Dialog& dialog) override {
    if (shape_.lines.empty()) {
      dialog.SetItemText(kQuestionText, text_);
    } else {
      const auto lines = LayOutMessageLines(text_, static_cast<int>(shape_.lines.size()));
      for (size_t i = 0; i < lines.size(); ++i) dialog.SetItemText(shape_.lines[i], lines[i]);
    }
    if (shape_.icon != 0) dialog.SetItemIcon(shape_.icon, ui::StockIcon::kExclamation);

    const ui::SystemMetrics metrics = ui::Metrics();
    const ui::PixelRect placed = PlaceMessageDialog(
        dialog.Rect(), owner_, ScreenSize{metrics.screen_width, metrics.screen_height});
    dialog.Move(placed.x, placed.y);

    dialog.FocusItem(IsQuestion() ? kIdNoButton : kIdYesButton);
  }

  void OnCommand(ui::Dialog& dialog, int id, int /*code*/) override {
    if (!IsQuestion()) {
      if (id == kIdYesButton) dialog.EndDialog(ui::kIdOk);
      return;
    }
    int result = 0;
    if (id == kIdYesButton) result = kResultYes;
    if (id == kIdNoButton) result = kResultNo;
    // Only the three-button question can be cancelled; the yes/no one
    // waits for an answer.
    if (id == kIdCancelButton && kind_ == MessageDialogKind::kYesNoCancel) result = kResultCancel;
    if (result == 0) return;
    if (kind_ == MessageDialogKind::kYesNoCancel) dialog.Hide();
    dialog.EndDialog(result);
  }

 private:
  bool IsQuestion() const {
    return kind_ == MessageDialogKind::kYesNo || kind_ == MessageDialogKind::kYesNoCancel;
  }

  MessageDialogKind kind_;
  Shape shape_;
  std::string text_;
  const ui::PixelRect* owner_;
};

}  // namespace

int ShowMessageDialog(SettingsState& state, MessageDialogKind kind, std::string_view text,
                      const ui::PixelRect* owner) {
  const Shape shape = ShapeOf(kind);
  const ui::DialogTemplate* dialog = ui::FindTemplate(state.resources.dialogs, shape.template_id);
  // Without its template there is nothing to show; a question then counts
  // as unanswered.
  if (dialog == nullptr) return kind == MessageDialogKind::kYesNoCancel ? kResultCancel : ui::kIdOk;

  // Until the account field was used the notice stands in the screen's middle.
  if (kind == MessageDialogKind::kNotice && !state.account_field_used) owner = nullptr;

  MessageDialog events(kind, CutMessageText(text, kMessageTextSize), owner);
  ui::ModalOptions options;
  options.system_modal = true;
  options.hide_close_button = true;
  if (owner != nullptr) options.owner = *owner;
  return ui::RunModal(*dialog, events, options);
}

int AskSaveQuestion(SettingsState& state, std::string_view page_name_cp932,
                    const ui::PixelRect* owner) {
  std::string text(page_name_cp932);
  text += MessageString(200);
  return ShowMessageDialog(state, MessageDialogKind::kYesNoCancel, text, owner);
}

}  // namespace zvrx
