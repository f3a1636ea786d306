// The European-languages dialog (130) of the judgment page: which European
// character sets the checker reads as English.
#pragma once

#include "platform/ui/window.h"
#include "settings/settings_state.h"

namespace zvrx {

// Check boxes of dialog 130 and the entries (ISO-8859-n) each one stands for.
inline constexpr int kIdWesternEurope = 1091;    // 1
inline constexpr int kIdCentralEurope = 1092;    // 2
inline constexpr int kIdSouthernEurope = 1093;   // 3
inline constexpr int kIdNorthernEurope = 1094;   // 4
inline constexpr int kIdTurkish = 1095;          // 9
inline constexpr int kIdNordic = 1088;           // 10, 11 and 12
inline constexpr int kIdBalticCeltic = 1089;     // 13 and 14
inline constexpr int kIdEuro = 1090;             // 15

// Shows the dialog modally, centred horizontally over `page`. "OK" stores
// every box into its entries of JudgmentSettings, raises the
// language-options changed flag and the judgment page's changed mark, and
// returns true; "Cancel" changes nothing.
bool RunEuropeanDialog(SettingsState& state, const platform::ui::PixelRect& page);

}  // namespace zvrx
