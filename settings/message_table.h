// The settings program's texts: its message table (by string number), the
// status texts of the checker's progress kinds, the error texts of its own
// table and the page names of the save question. All CP932.
#pragma once

#include <string>

namespace zvrx {

// Message-table string `number` ("" for a number the table lacks). Strings
// 1-7 are the check modes, 8-10 the inspection levels, 11-13 and 14-16 the
// two handling lists of the judgment page, 17 waiting, 19 stopped, 130-137
// and 210-222 reports, 200 the save question's tail, 224 and 225 the list
// pages' notices.
const std::string& MessageString(int number);

// Status text of a progress kind 2..6 ("" for any other kind).
const std::string& StatusText(int kind);

// Error text of the program's own table: kind 4 (no install folder) and 5
// (the first-use notice); "" for any other kind.
const std::string& ErrorText(int kind);

// Names used in the save question.
const std::string& PageNameBasic();           // "基本設定"
const std::string& PageNameOptions();         // "オプション設定"
const std::string& PageNameJudgment();        // "判定条件設定"
const std::string& PageNameAcceptanceList();  // "受信容認リスト"
const std::string& PageNameRejectionList();   // "受信拒否リスト"

}  // namespace zvrx
