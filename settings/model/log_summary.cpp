#include "settings/model/log_summary.h"

namespace zvrx {

namespace {

bool IsDigit(char byte) { return byte >= '0' && byte <= '9'; }

// Up to `size` bytes of the line starting at `start`, stopping at its CR or
// LF (a short line must not pull the next one into the period), blanks at
// the end removed.
std::string Stamp(std::string_view log, size_t start, size_t size) {
  std::string_view stamp = log.substr(start, size);
  stamp = stamp.substr(0, stamp.find_first_of("\r\n"));
  while (!stamp.empty() && stamp.back() == ' ') stamp.remove_suffix(1);
  return std::string(stamp);
}

}  // namespace

LogSummary SummarizeLog(std::string_view log) {
  int count = 1;
  size_t last_stamp = std::string_view::npos;
  for (size_t lf = log.find('\n'); lf != std::string_view::npos; lf = log.find('\n', lf + 1)) {
    if (lf + 1 < log.size() && IsDigit(log[lf + 1])) {
      ++count;
      last_stamp = lf + 1;
    }
  }
  LogSummary summary;
  const std::string end = last_stamp == std::string_view::npos
                              ? Stamp(log, 0, kLogPeriodEndBytes)
                              : Stamp(log, last_stamp, kLogPeriodEndBytes);
  summary.period = Stamp(log, 0, kLogPeriodStartBytes) + " - " + end;
  summary.count = std::to_string(count);
  return summary;
}

}  // namespace zvrx
