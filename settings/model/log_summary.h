// What the work-log page shows above the log: the period the log covers and
// the number of deleted mails, both read from the log text as the checker
// writes it (a deletion's first line starts with its time stamp, so with a
// digit; every other line starts with a blank).
#pragma once

#include <string>
#include <string_view>

namespace zvrx {

// The first line's stamp is taken with its blanks, 20 bytes; a later
// stamp line gives 19. Both lose their trailing blanks.
inline constexpr size_t kLogPeriodStartBytes = 20;
inline constexpr size_t kLogPeriodEndBytes = 19;

struct LogSummary {
  std::string period;  // "yy.mm.dd  hh:mm - yy.mm.dd  hh:mm", CP932
  std::string count;   // decimal
};

// The summary of a non-empty log. The first line counts as a deletion
// whatever it starts with; a stamp is never taken past its line's end.
LogSummary SummarizeLog(std::string_view log);

}  // namespace zvrx
