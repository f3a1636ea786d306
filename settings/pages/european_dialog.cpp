#include "settings/pages/european_dialog.h"

#include "platform/ui/transcript.h"
#include "settings/model/european_sets.h"
#include "settings/pages/page_window.h"

namespace zvrx {

namespace {

namespace ui = platform::ui;

// The boxes' ids, in the order of kEuropeanSets.
constexpr int kEuropeanBoxIds[kEuropeanSetCount] = {
    kIdWesternEurope, kIdCentralEurope, kIdSouthernEurope, kIdNorthernEurope,
    kIdTurkish,       kIdNordic,        kIdBalticCeltic,   kIdEuro,
};

class EuropeanDialog : public ui::DialogEvents {
 public:
  EuropeanDialog(SettingsState& state, const ui::PixelRect& page) : state_(state), page_(page) {}

  void OnInit(ui::Dialog& dialog) override {
    const JudgmentSettings& judgment = state_.records.judgment;
    for (int k = 0; k < kEuropeanSetCount; ++k) {
      dialog.CheckButton(kEuropeanBoxIds[k],
                         judgment.european_charsets[*kEuropeanSets[k].parts.begin()][0] == 1);
    }
    const ui::PixelRect rect = dialog.Rect();
    dialog.Move(page_.x + (page_.width - rect.width) / 2, rect.y);
    dialog.FocusItem(ui::kIdCancel);
  }

  void OnCommand(ui::Dialog& dialog, int id, int /*code*/) override {
    if (id == ui::kIdOk) {
      JudgmentSettings& judgment = state_.records.judgment;
      for (int k = 0; k < kEuropeanSetCount; ++k) {
        const uint8_t value = dialog.IsButtonChecked(kEuropeanBoxIds[k]) ? 1 : 0;
        for (int part : kEuropeanSets[k].parts) judgment.european_charsets[part][0] = value;
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
