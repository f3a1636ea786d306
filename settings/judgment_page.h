// The judgment conditions page (dialog 106, class "HanteiJoken"): how
// strictly the checker analyses mail text, which Method dictionaries it
// uses, what it does with foreign and unrecognised mail, and (through
// dialog 130) which European character sets it reads as English. Edits
// JudgmentSettings.
#pragma once

#include <memory>

#include "settings/page_window.h"
#include "settings/settings_state.h"

namespace zvrx {

// Control ids of dialog 106.
inline constexpr int kIdFirstDictionaryBox = 1048;  // to 1053
inline constexpr int kIdDictionaryScroll = 1054;
inline constexpr int kIdLenient = 1019;
inline constexpr int kIdStandard = 1020;
inline constexpr int kIdStrict = 1021;
inline constexpr int kIdFocusSink = 1030;
inline constexpr int kIdForeignHandling = 1022;
inline constexpr int kIdUnknownFormatHandling = 1023;
inline constexpr int kIdEuropeanOptions = 1087;

// Check boxes of dialog 130 and the entries (ISO-8859-n) each one stands for.
inline constexpr int kIdWesternEurope = 1091;    // 1
inline constexpr int kIdCentralEurope = 1092;    // 2
inline constexpr int kIdSouthernEurope = 1093;   // 3
inline constexpr int kIdNorthernEurope = 1094;   // 4
inline constexpr int kIdTurkish = 1095;          // 9
inline constexpr int kIdNordic = 1088;           // 10, 11 and 12
inline constexpr int kIdBalticCeltic = 1089;     // 13 and 14
inline constexpr int kIdEuro = 1090;             // 15

std::unique_ptr<Page> MakeJudgmentPage(SettingsState& state);

}  // namespace zvrx
