// The work log "ZVRXLog" as every program reads it: the checker appends the
// entries, the settings program and zvrxctl show, export and clear the log,
// and a kept copy is found again by its entry. CP932, lines ending in CR LF.
// An entry is four lines: the stamp, the category and "を削除しました"; the
// From and the Subject line, indented; an empty line. Only an entry's first
// line starts with a digit.
#pragma once

#include <string>

#include "platform/clock.h"

namespace zvrx {

inline constexpr char kWorkLogName[] = "ZVRXLog";
inline constexpr int kLogStampSize = 21;        // "yy.mm.dd  hh:mm" and six blanks
inline constexpr int kLogStampTimeLength = 15;  // "yy.mm.dd  hh:mm"
inline constexpr int kLogStampDateLength = 8;   // "yy.mm.dd"
inline constexpr int kLogValueIndent = 25;      // blanks before the From and Subject lines
// を削除しました
inline constexpr char kLogDeletedText[] = "\x82\xf0\x8d\xed\x8f\x9c\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
inline constexpr char kLogFromLabel[] = "(From :";
inline constexpr char kLogSubjectLabel[] = "(Subject :";

// "yy.mm.dd  hh:mm      " for the given local time.
std::string LogStamp(const platform::LocalTime& time);

}  // namespace zvrx
