// The European-languages dialog (130) of the judgment page: which European
// character sets the checker reads as English.
#pragma once

#include "platform/ui/window.h"
#include "settings/settings_state.h"

namespace zvrx {

// Shows the dialog modally, centred horizontally over `page`. "OK" stores
// every box into its entries of JudgmentSettings, raises the
// language-options changed flag and the judgment page's changed mark, and
// returns true; "Cancel" changes nothing.
bool RunEuropeanDialog(SettingsState& state, const platform::ui::PixelRect& page);

}  // namespace zvrx
