#include "settings/european_dialog.h"

#include <initializer_list>

#include "platform/ui/transcript.h"
#include "settings/page_window.h"

namespace zvrx {

namespace {

namespace ui = platform::ui;

// Each box stands for the ISO-8859 parts its languages are written in.
struct EuropeanBox {
  int id;
  std::initializer_list<int> entries;
};
const EuropeanBox kEuropeanBoxes[] = {
    {kIdWesternEurope, {1}},   {kIdCentralEurope, {2}},     {kIdSouthernEurope, {3}},
    {kIdNorthernEurope, {4}},  {kIdTurkish, {9}},           {kIdNordic, {10, 11, 12}},
    {kIdBalticCeltic, {13, 14}}, {kIdEuro, {15}},
};

class EuropeanDialog : public ui::DialogEvents {
 public:
  EuropeanDialog(SettingsState& state, const ui::PixelRect& page) : state_(state), page_(page) {}

  void OnInit(ui::Dialog& dialog) override {
    const JudgmentSettings& judgment = state_.records.judgment;
    for (const EuropeanBox& box : kEuropeanBoxes) {
      dialog.CheckButton(box.id, judgment.european_charsets[*box.entries.begin()][0] == 1);
    }
    const ui::PixelRect rect = dialog.Rect();
    dialog.Move(page_.x + (page_.width - rect.width) / 2, rect.y);
    dialog.FocusItem(ui::kIdCancel);
  }

  void OnCommand(ui::Dialog& dialog, int id, int /*code*/) override {
    if (id == ui::kIdOk) {
      JudgmentSettings& judgment = state_.records.judgment;
      for (const EuropeanBox& box : kEuropeanBoxes) {
        const uint8_t value = dialog.IsButtonChecked(box.id) ? 1 : 0;
        for (int entry : box.entries) judgment.european_charsets[entry][0] = value;
      }
      judgment.languages_changed = 1;
      state_.changed_marks |= kChangedJudgment;
      dialog.EndDialog(ui::kIdOk);
    } else if (id == ui::kIdCancel) {
      dialog.EndDialog(ui::kIdCancel);
    }
  }

 private:
  SettingsState& state_;
  ui::PixelRect page_;
};

}  // namespace

bool RunEuropeanDialog(SettingsState& state, const ui::PixelRect& page) {
  const ui::DialogTemplate* dialog = ui::FindTemplate(state.resources.dialogs, kEuropeanDialogId);
  if (dialog == nullptr) return false;
  EuropeanDialog events(state, page);
  ui::ModalOptions options;
  options.owner = page;
  return ui::RunModal(*dialog, events, options) == ui::kIdOk;
}

}  // namespace zvrx
