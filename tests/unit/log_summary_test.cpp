// The work-log page's summary: the period the log covers and the number of
// deleted mails, read from the stamps that start each entry.
#include "settings/model/log_summary.h"

#include <string>

#include <gtest/gtest.h>

#include "platform/cp932.h"

namespace zvrx {
namespace {

using platform::Utf8ToCp932;

// One entry as the checker writes it: stamp, description, From, Subject,
// an empty line.
std::string Entry(const std::string& stamp) {
  const std::string blanks(25, ' ');
  return stamp + "      " + Utf8ToCp932("匿名メールを削除しました") + "\r\n" + blanks +
         "(From :a@example.jp)\r\n" + blanks + "(Subject :" + Utf8ToCp932("件名") + ")\r\n\r\n";
}

TEST(LogSummary, PeriodAndCount) {
  const std::string separator = " " + Utf8ToCp932("　") + std::string(61, '-') + "\r\n";
  const struct {
    const char* rule;
    std::string log;
    std::string period;
    std::string count;
  } cases[] = {
      {"the first stamp and the last stamp without their blanks",
       Entry("99.12.31  23:59") + Entry("00.01.01  00:05") + Entry("00.01.02  07:30"),
       "99.12.31  23:59 - 00.01.02  07:30", "3"},
      {"a single entry is both ends of the period", Entry("01.01.05  09:07"),
       "01.01.05  09:07 - 01.01.05  09:07", "1"},
      {"a day separator starts with a blank and is neither counted nor a stamp",
       Entry("01.01.05  09:07") + separator + Entry("01.01.06  10:00"),
       "01.01.05  09:07 - 01.01.06  10:00", "2"},
      {"a first line that is not a stamp still counts as one deletion",
       "header line\r\n" + Entry("01.02.03  04:05"), "header line - 01.02.03  04:05", "2"},
      {"without a later stamp the end is the log's own first 19 bytes",
       "no stamp at all in this log text\r\n   indented\r\n", "no stamp at all in t - no stamp at all in",
       "1"},
      {"a short stamp line never takes the next line into the period",
       Entry("01.01.05  09:07") + "7\r\n  after\r\n", "01.01.05  09:07 - 7", "2"},
      {"a short first line ends its part of the period", "42\r\n", "42 - 42", "1"},
      {"a digit right at the end of the log without its line end",
       Entry("01.01.05  09:07") + "0", "01.01.05  09:07 - 0", "2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rule);
    const LogSummary summary = SummarizeLog(c.log);
    EXPECT_EQ(summary.period, c.period);
    EXPECT_EQ(summary.count, c.count);
  }
}

}  // namespace
}  // namespace zvrx
