// The judgment conditions page (dialog 106, class "HanteiJoken"): how
// strictly the checker analyses mail text, which Method dictionaries it
// uses, what it does with foreign and unrecognised mail, and (through
// dialog 130) which European character sets it reads as English. Edits
// JudgmentSettings.
#pragma once

#include <memory>

#include "settings/pages/european_dialog.h"
#include "settings/pages/page_window.h"
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
// The check boxes of the extension settings file (ZVRXExt.ini), together in
// a group below the handling group: today's mail (modern_mail), the learned
// judgment (learned_judgment), the brand check (brand_check) and the guard
// for warnings that quote fraud mail (quoted_warnings).
inline constexpr int kIdModernMail = 1096;
inline constexpr int kIdLearnedJudgment = 1098;
inline constexpr int kIdBrandCheck = 1099;
inline constexpr int kIdQuotedWarnings = 1100;

std::unique_ptr<Page> MakeJudgmentPage(SettingsState& state);

}  // namespace zvrx
