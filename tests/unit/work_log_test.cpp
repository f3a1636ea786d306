// The work log: exact entry bytes, the day separator, and `zvrxctl log`.
#include "checker/analysis/work_log.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

constexpr auto& At = test::LocalTimeAt;

MailRecord Record(const char* from, const char* subject) {
  MailRecord record = {};
  std::strncpy(record.from, from, kMailFieldSize - 1);
  std::strncpy(record.subject, subject, kMailFieldSize - 1);
  return record;
}

const char kAnonymous[] = "\x93\xbd\x96\xbc\x83\x81\x81\x5b\x83\x8b";  // 匿名メール
const char kDeleted[] = "\x82\xf0\x8d\xed\x8f\x9c\x82\xb5\x82\xdc\x82\xb5\x82\xbd";  // を削除しました

class WorkLogTest : public ::testing::Test {
 protected:
  std::string LogHost() const { return prefix_.DataFolderHost() + "/ZVRXLog"; }
  void WriteAt(const platform::LocalTime& time, const char* subject = "hi") {
    clock_.SetNow(time);
    WriteLogEntry(kAnonymous, Record("a@b.jp", subject));
  }

  test::TempPrefix prefix_;
  test::FakeClock clock_;
  test::ScopedClock scoped_clock_{clock_};
};

TEST(LogStampTest, TwoDigitFieldsAndSixBlanks) {
  struct Case {
    platform::LocalTime time;
    const char* stamp;
  } cases[] = {
      {At(2001, 1, 5, 9, 7), "01.01.05  09:07      "},
      {At(1999, 12, 31, 23, 59), "99.12.31  23:59      "},
      {At(2000, 2, 29, 0, 0), "00.02.29  00:00      "},
  };
  for (const auto& c : cases) {
    std::string stamp = LogStamp(c.time);
    EXPECT_EQ(stamp, c.stamp);
    EXPECT_EQ(stamp.size(), static_cast<size_t>(kLogStampSize));
  }
}

TEST_F(WorkLogTest, EntryBytesWithEmptySubject) {
  WriteAt(At(2001, 1, 5, 9, 7), "");
  std::string expected = std::string("01.01.05  09:07      ") + kAnonymous + kDeleted + "\r\n" +
                         std::string(25, ' ') + "(From :a@b.jp)\r\n" + std::string(25, ' ') +
                         "(Subject :)\r\n" + "\r\n";
  EXPECT_EQ(test::ReadHostFile(LogHost()), expected);
}

TEST_F(WorkLogTest, LineBreaksInsideHeaderValuesCannotForgeAnEntry) {
  clock_.SetNow(At(2001, 1, 5, 9, 7));
  WriteLogEntry(kAnonymous, Record("x\r\n01.01.01  00:00", "a\nb"));
  std::string log = test::ReadHostFile(LogHost());
  EXPECT_NE(log.find("(From :x  01.01.01  00:00)\r\n"), std::string::npos);
  EXPECT_NE(log.find("(Subject :a b)\r\n"), std::string::npos);
  size_t line_breaks = 0;
  for (char c : log) line_breaks += c == '\n';
  EXPECT_EQ(line_breaks, 4u);
}

TEST_F(WorkLogTest, FullLengthFieldsAreWrittenWhole) {
  std::string long_subject(kMailFieldSize - 1, 'S');
  clock_.SetNow(At(2001, 1, 5, 9, 7));
  WriteLogEntry(kAnonymous, Record("a@b.jp", long_subject.c_str()));
  EXPECT_NE(test::ReadHostFile(LogHost()).find("(Subject :" + long_subject + ")\r\n"),
            std::string::npos);
}

// The separator stands between the days, never first, and the page still
// counts one stamp line per entry.
TEST_F(WorkLogTest, DaySeparatorBeforeFirstEntryOfANewDay) {
  WriteAt(At(2001, 1, 5, 9, 7));
  WriteAt(At(2001, 1, 5, 23, 59));
  WriteAt(At(2001, 1, 6, 0, 1));
  WriteAt(At(2001, 1, 6, 8, 0));
  std::string log = test::ReadHostFile(LogHost());
  std::string separator = " \x81\x40" + std::string(61, '-') + "\r\n";
  EXPECT_EQ(DaySeparator(), separator);
  ASSERT_EQ(log.find(separator), log.find("01.01.06  00:01") - separator.size());
  EXPECT_EQ(log.find(separator, log.find(separator) + 1), std::string::npos);
  EXPECT_TRUE(log[0] >= '0' && log[0] <= '9');
  int stamp_lines = 0;
  for (size_t i = 0; i < log.size(); ++i) {
    if ((i == 0 || log[i - 1] == '\n') && log[i] >= '0' && log[i] <= '9') ++stamp_lines;
  }
  EXPECT_EQ(stamp_lines, 4);
}

TEST_F(WorkLogTest, ClearedLogStartsWithAnEntry) {
  WriteAt(At(2001, 1, 5, 9, 7));
  std::remove(LogHost().c_str());
  WriteAt(At(2001, 1, 7, 9, 7));
  EXPECT_EQ(test::ReadHostFile(LogHost()).substr(0, 8), "01.01.07");
}

TEST_F(WorkLogTest, LogLargerThanTheTailReadStillFindsLastDate) {
  for (int i = 0; i < 40; ++i) WriteAt(At(2001, 1, 5, 9, i), std::string(200, 'x').c_str());
  ASSERT_GT(test::ReadHostFile(LogHost()).size(), static_cast<size_t>(kLogTailSize));
  WriteAt(At(2001, 1, 5, 10, 0));
  EXPECT_EQ(test::ReadHostFile(LogHost()).find(" \x81\x40"), std::string::npos);
  WriteAt(At(2001, 1, 6, 10, 0));
  EXPECT_NE(test::ReadHostFile(LogHost()).find(" \x81\x40"), std::string::npos);
}

TEST(NeedsDaySeparatorTest, FindsTheLastStampLine) {
  platform::LocalTime jan6 = At(2001, 1, 6, 8, 0);
  struct Case {
    const char* tail;
    bool from_start;
    bool expected;
  } cases[] = {
      {"", true, false},                                         // no log yet
      {"01.01.06  07:00      x\r\n   (From :)\r\n", true, false},  // same day
      {"01.01.05  07:00      x\r\n   (From :)\r\n", true, true},   // previous day
      {"00.01.06  07:00      x\r\n", true, true},                  // same day, other year
      // The tail begins inside a line: its first byte is no line start.
      {"01.01.05 x)\r\n\r\n", false, false},
      {"6  07:00 x\r\n01.01.06  07:00      y\r\n", false, false},
      {"01.01.06  x\r\n01.01.05  07:00      y\r\n", true, true},  // the last entry counts
      {"garbage without entries\r\n", true, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NeedsDaySeparator(c.tail, c.from_start, jan6), c.expected) << c.tail;
  }
}

TEST(WorkLogSilentTest, MissingDataFolderWritesNothing) {
  test::TempPrefix prefix(/*with_data_folder=*/false);
  WriteLogEntry(kAnonymous, Record("a@b.jp", "s"));
  EXPECT_EQ(test::ReadHostFile(prefix.DataFolderHost() + "/ZVRXLog"), "");
}

// Runs zvrxctl on the test's prefix; returns its standard output.
std::string RunZvrxctl(const std::string& prefix, const std::string& args, int& status) {
  std::string command =
      std::string(ZVRX_BINARY_DIR) + "/tools/zvrxctl --prefix '" + prefix + "' " + args;
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  if (!pipe) {
    status = -1;
    return out;
  }
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  int raw = pclose(pipe);
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

TEST_F(WorkLogTest, ZvrxctlPrintsTheLogAsUtf8) {
  WriteAt(At(2001, 1, 5, 9, 7), "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd");  // こんにちは
  WriteAt(At(2001, 1, 6, 9, 7));
  int status = 0;
  std::string out = RunZvrxctl(prefix_.path(), "log", status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out.find('\r'), std::string::npos);
  EXPECT_EQ(out.substr(0, out.find('\n') + 1),
            "01.01.05  09:07      匿名メールを削除しました\n");
  EXPECT_NE(out.find("(Subject :こんにちは)\n\n"), std::string::npos);
  EXPECT_NE(out.find(" 　" + std::string(61, '-') + "\n01.01.06"), std::string::npos);
}

TEST(ZvrxctlLogTest, MissingLogPrintsNothing) {
  test::TempPrefix prefix;
  int status = -1;
  EXPECT_EQ(RunZvrxctl(prefix.path(), "log", status), "");
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace zvrx
