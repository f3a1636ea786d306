// The work-log page (dialog 110, window class "LogList"): the period and
// the number of deletions of the checker's work log, the log itself in an
// eight-line view with a scroll bar, Export to a text file and Clear.
#pragma once

#include <memory>

#include "settings/page_window.h"
#include "settings/settings_state.h"

namespace zvrx {

// Control ids of dialog 110.
inline constexpr int kIdLogFocusButton = 1000;
inline constexpr int kIdLogPeriod = 1035;
inline constexpr int kIdLogCount = 1036;
inline constexpr int kIdLogClear = 1038;
inline constexpr int kIdLogExport = 1039;
inline constexpr int kIdLogView = 1068;
inline constexpr int kIdLogScrollBar = 1069;
inline constexpr int kIdLogViewFrame = 1070;

std::unique_ptr<Page> MakeLogPage(SettingsState& state);

}  // namespace zvrx
