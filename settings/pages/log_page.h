// The work-log page (dialog 110, window class "LogList"): the period and
// the number of deletions of the checker's work log, the log itself in an
// eight-line view with a scroll bar, Export to a text file and Clear.
#pragma once

#include <memory>

#include "settings/pages/page_window.h"
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
inline constexpr int kIdLogKept = 1097;  // "控え...": the kept copy of the entry in view

// The kept-copy dialog (150) that "控え..." opens.
inline constexpr int kKeptDialogId = 150;
inline constexpr int kIdKeptStamp = 1111;
inline constexpr int kIdKeptCategory = 1112;
inline constexpr int kIdKeptFrom = 1113;
inline constexpr int kIdKeptSubject = 1114;
inline constexpr int kIdKeptSize = 1115;
inline constexpr int kIdKeptSave = 1116;
inline constexpr int kIdKeptClose = 1;

std::unique_ptr<Page> MakeLogPage(SettingsState& state);

}  // namespace zvrx
