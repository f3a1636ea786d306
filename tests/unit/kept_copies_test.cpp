// Kept copies of deleted mail, without a server: the RETR data reader fed
// segment by segment, the copy's life from .part to .eml, the retention by
// days and by size on a fake clock, the work-log entry that finds its copy,
// and mbox entries that an mbox reader turns back into the same bytes.
#include "shared/kept_copies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "checker/analysis/work_log.h"
#include "checker/core/pop3_replies.h"
#include "platform/cp932.h"
#include "platform/files.h"
#include "settings/model/log_summary.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_stream.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/mbox_reader.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

using test::FakeStream;
using test::FakeStreamScript;

platform::LocalTime At(int year, int month, int day, int hour = 9, int minute = 0,
                       int second = 0) {
  platform::LocalTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  return t;
}

// Reads a RETR reply after its status line, the data arriving in the given
// segments; what the sink got, and the result.
struct RetrRead {
  PopResult result;
  std::string message;
  std::string left_for_next;  // what a following single reply reads
};

RetrRead ReadRetr(const std::vector<std::string>& segments, size_t refuse_after = SIZE_MAX) {
  test::FakeClock clock;
  test::ScopedClock scoped_clock(clock);
  auto script = std::make_shared<FakeStreamScript>();
  for (const std::string& segment : segments) script->Reply(segment);
  script->Reply("+OK next\r\n");
  FakeStream stream(script);
  ReceiveBuffer receive = {};
  ChunkBuffer chunk = {};
  CarriedBytes carried;
  ReplyLine reply;
  const ReplyDeadline deadline = ReplyDeadline::FromNow();
  RetrRead read{ReadAccumulatingReply(stream, receive, reply, carried, deadline), {}, {}};
  if (read.result != POP_OK) return read;
  read.result = ReadMultiLineData(stream, receive, chunk, carried,
                                  [&](const char* data, size_t size) {
                                    read.message.append(data, size);
                                    return read.message.size() < refuse_after;
                                  },
                                  deadline);
  ReplyLine next;
  if (ReadSingleReply(stream, receive, next, deadline) == POP_OK) read.left_for_next = next.text;
  return read;
}

TEST(KeptRetrReader, RemovesStuffingAndTheTerminatorHoweverTheBytesArrive) {
  const struct Case {
    const char* what;
    std::vector<std::string> segments;
    const char* message;
  } cases[] = {
      {"all in the status line's segment",
       {"+OK 20 octets\r\nSubject: a\r\n\r\nHi.\r\n.\r\n"},
       "Subject: a\r\n\r\nHi.\r\n"},
      // "a line beginning with a termination octet has it doubled"
      {"stuffed dots are taken off, one per line",
       {"+OK\r\n", "Subject: b\r\n\r\n..\r\n...x\r\n.. y\r\n.\r\n"},
       "Subject: b\r\n\r\n.\r\n..x\r\n. y\r\n"},
      {"a dot within a line stays",
       {"+OK\r\n", "a.b\r\nc .\r\n.\r\n"},
       "a.b\r\nc .\r\n"},
      {"the terminator split over every boundary",
       {"+OK\r\nx\r", "\n", ".", "\r", "\n"},
       "x\r\n"},
      {"a stuffed dot alone in a segment",
       {"+OK\r\nx\r\n", ".", ".y\r\n.\r\n"},
       "x\r\n.y\r\n"},
      {"an empty message",
       {"+OK\r\n.\r\n"},
       ""},
      {"a dot line ended by a bare LF",
       {"+OK\r\nx\r\n.\n"},
       "x\r\n"},
      {"dot, CR and more is a stuffed line with a CR in it",
       {"+OK\r\nx\r\n.\rz\r\n.\r\n"},
       "x\r\n\rz\r\n"},
      {"8-bit bytes and NUL pass untouched",
       {"+OK\r\n", std::string("\x82\xa0\x00\xff\r\n.\r\n", 9)},
       "\x82\xa0"},  // compared with the size below
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const RetrRead read = ReadRetr(c.segments);
    EXPECT_EQ(read.result, POP_OK);
    if (std::string(c.what).find("8-bit") != std::string::npos) {
      EXPECT_EQ(read.message, std::string("\x82\xa0\x00\xff\r\n", 6));
    } else {
      EXPECT_EQ(read.message, c.message);
    }
    // The next reply is read as its own.
    EXPECT_EQ(read.left_for_next, "next\r");  // the CR stays in a reply's text
  }
}

TEST(KeptRetrReader, ReadsToTheEndWhenTheSinkRefusesAndFailsWhenCut) {
  // Far longer than one chunk: the sink stops taking after 3000 bytes, the
  // reply is still read whole so the session can go on.
  std::string body;
  for (int i = 0; i < 500; ++i) body += "line " + std::to_string(i) + " of the long body\r\n";
  RetrRead read = ReadRetr({"+OK\r\n", body.substr(0, 7000), body.substr(7000) + ".\r\n"}, 3000);
  EXPECT_EQ(read.result, POP_OK);
  EXPECT_GE(read.message.size(), 3000u);
  EXPECT_LT(read.message.size(), body.size());
  EXPECT_EQ(read.left_for_next, "next\r");  // the CR stays in a reply's text

  // The peer closes in the middle: no message, and the failure says so.
  test::FakeClock clock;
  test::ScopedClock scoped_clock(clock);
  auto script = std::make_shared<FakeStreamScript>();
  script->Reply("+OK\r\nSubject: cut\r\n");
  FakeStream stream(script);
  ReceiveBuffer receive = {};
  ChunkBuffer chunk = {};
  CarriedBytes carried;
  ReplyLine reply;
  ASSERT_EQ(ReadAccumulatingReply(stream, receive, reply, carried), POP_OK);
  EXPECT_EQ(ReadMultiLineData(stream, receive, chunk, carried,
                              [](const char*, size_t) { return true; }),
            POP_CLOSED);
}

class KeptStoreTest : public ::testing::Test {
 protected:
  std::string KeptHost() const { return prefix_.DataFolderHost() + "/Kept"; }
  std::vector<std::string> FilesInKept() const {
    std::vector<std::string> names = platform::ListFolder(KeptFolder() + "*.*");
    std::sort(names.begin(), names.end());
    return names;
  }
  // A committed copy of `bytes` fetched at `when`.
  std::string Keep(const platform::LocalTime& when, const std::string& bytes,
                   const std::string& subject = "s") {
    auto copy = PendingCopy::Begin(when);
    EXPECT_NE(copy, nullptr);
    if (!copy) return {};
    EXPECT_TRUE(copy->Write(bytes.data(), bytes.size()));
    EXPECT_TRUE(copy->Finish());
    KeptCopyInfo info;
    info.stamp = LogStamp(when).substr(0, kKeptStampLength);
    info.category = "c";
    info.subject = subject;
    EXPECT_TRUE(copy->Commit(info));
    return copy->name();
  }

  test::TempPrefix prefix_;
};

TEST_F(KeptStoreTest, ACopyIsListedOnlyOnceCommittedAndNamesNeverCollide) {
  const platform::LocalTime when = At(2026, 12, 10, 17, 34, 12);
  auto first = PendingCopy::Begin(when);
  auto second = PendingCopy::Begin(when);  // the same second
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->name(), "20261210-173412-000");
  EXPECT_EQ(second->name(), "20261210-173412-001");
  const std::string bytes = "Subject: kept\r\n\r\nbody\r\n";
  ASSERT_TRUE(first->Write(bytes.data(), bytes.size()));
  ASSERT_TRUE(first->Finish());
  ASSERT_TRUE(second->Write("x", 1));
  // Written and durable, but the deletion is not committed: not listed.
  EXPECT_TRUE(ListKeptCopies().empty());
  EXPECT_EQ(FilesInKept(),
            (std::vector<std::string>{"20261210-173412-000.part", "20261210-173412-001.part"}));

  KeptCopyInfo info;
  info.stamp = "26.12.10  17:34";
  info.category = platform::Utf8ToCp932("出会い系メール");
  info.from = "a@example.jp";
  info.subject = "hello";
  info.account = "taro@pop.example.jp";
  info.uidl = "u1";
  ASSERT_TRUE(first->Commit(info));
  second->Drop();  // its session was not committed
  const std::vector<KeptCopy> copies = ListKeptCopies();
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].name, "20261210-173412-000");
  EXPECT_EQ(copies[0].size, static_cast<int64_t>(bytes.size()));
  EXPECT_TRUE(copies[0].indexed);
  EXPECT_EQ(copies[0].info.category, info.category);
  EXPECT_EQ(copies[0].info.uidl, "u1");
  EXPECT_EQ(copies[0].info.account, info.account);
  auto read = ReadKeptCopy(copies[0]);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(std::string(read->begin(), read->end()), bytes);
  EXPECT_EQ(FilesInKept(),
            (std::vector<std::string>{"20261210-173412-000.eml", "20261210-173412-000.idx"}));

  // A later copy in the same second does not take the committed name.
  auto third = PendingCopy::Begin(when);
  ASSERT_NE(third, nullptr);
  EXPECT_EQ(third->name(), "20261210-173412-001");
}

TEST_F(KeptStoreTest, LeftoversOfAKilledCheckAreNeverListedAndGoAtTheNextCheck) {
  Keep(At(2026, 12, 1), "Subject: whole\r\n\r\n");
  // What a kill leaves: a half-written copy, an index whose copy never got
  // its name, and a half-written index under its temporary name.
  test::WriteHostFile(KeptHost() + "/20261202-090000-000.part", "Subject: half");
  test::WriteHostFile(KeptHost() + "/20261202-090001-000.idx", "stamp=26.12.02  09:00\r\n");
  test::WriteHostFile(KeptHost() + "/.20261202-090002-000.idx.zvrx-AbCdEf", "stamp=");
  test::WriteHostFile(KeptHost() + "/notes.txt", "the user's own file");
  ASSERT_EQ(ListKeptCopies().size(), 1u);

  RemoveKeptLeftovers();
  EXPECT_EQ(FilesInKept(), (std::vector<std::string>{"20261201-090000-000.eml",
                                                     "20261201-090000-000.idx", "notes.txt"}));
}

TEST_F(KeptStoreTest, ACopyThatCannotBeWrittenIsNotSaved) {
  auto copy = PendingCopy::Begin(At(2026, 12, 10));
  ASSERT_NE(copy, nullptr);
  const std::string big(64 * 1024, 'x');
  {
    test::FileSizeLimit full_disk(1000);
    EXPECT_FALSE(copy->Write(big.data(), big.size()));
  }
  EXPECT_FALSE(copy->Finish());
  copy.reset();
  EXPECT_TRUE(FilesInKept().empty());
}

TEST_F(KeptStoreTest, RetentionRemovesTheOldestByDaysThenBySize) {
  const std::string mb(static_cast<size_t>(kMegabyte), 'm');
  const platform::LocalTime now = At(2026, 12, 31, 12, 0, 0);
  const struct Case {
    const char* what;
    int days;
    int64_t max_mb;
    std::vector<std::string> left;  // names' dates
  } cases[] = {
      // Copies of 1 MB each, fetched 31 days, exactly 30 days, 11 days,
      // exactly 1 day and 1 second before now.
      {"30 days: exactly 30 days old stays", 30, 200,
       {"20261201-120000", "20261220-120000", "20261230-120000", "20261231-115959"}},
      {"10 days", 10, 200, {"20261230-120000", "20261231-115959"}},
      {"1 day: exactly one day old stays", 1, 200, {"20261230-120000", "20261231-115959"}},
      {"3 MB: the oldest go first", 30, 3,
       {"20261220-120000", "20261230-120000", "20261231-115959"}},
      {"1 MB", 30, 1, {"20261231-115959"}},
      {"days and size together", 10, 1, {"20261231-115959"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const KeptCopy& copy : ListKeptCopies()) {
      platform::DeleteFile(KeptFolder() + copy.name + kKeptCopySuffix);
      platform::DeleteFile(KeptFolder() + copy.name + kKeptIndexSuffix);
    }
    Keep(At(2026, 11, 30, 12, 0, 0), mb);  // 31 days old
    Keep(At(2026, 12, 1, 12, 0, 0), mb);
    Keep(At(2026, 12, 20, 12, 0, 0), mb);
    Keep(At(2026, 12, 30, 12, 0, 0), mb);
    Keep(At(2026, 12, 31, 11, 59, 59), mb);

    KeptOptions options;
    options.days = c.days;
    options.max_total_bytes = c.max_mb * kMegabyte;
    const RetentionResult result = ApplyRetention(options, now);
    std::vector<std::string> left;
    for (const KeptCopy& copy : ListKeptCopies()) left.push_back(copy.name.substr(0, 15));
    EXPECT_EQ(left, c.left);
    EXPECT_EQ(result.removed, 5 - static_cast<int>(c.left.size()));
    EXPECT_EQ(result.bytes_removed, result.removed * kMegabyte);
    // No index is left without its copy.
    EXPECT_EQ(FilesInKept().size(), 2 * c.left.size());
  }
}

TEST_F(KeptStoreTest, RetentionFollowsTheReplaceableClock) {
  test::FakeClock clock(At(2026, 1, 1, 0, 0, 0));
  test::ScopedClock scoped(clock);
  Keep(platform::Now(), "Subject: new year\r\n\r\n");
  KeptOptions options;
  ApplyRetention(options, platform::Now());
  EXPECT_EQ(ListKeptCopies().size(), 1u);
  clock.SetNow(At(2026, 1, 31, 0, 0, 1));  // 30 days and a second later
  ApplyRetention(options, platform::Now());
  EXPECT_TRUE(ListKeptCopies().empty());
}

// The work log's own writer makes the entry; the copy is found from it,
// whichever minute the log's clock reading fell in.
TEST_F(KeptStoreTest, AWorkLogEntryFindsItsCopy) {
  MailRecord record{};
  std::strcpy(record.from, "\"Shop\" <info@shop.example>");
  std::strcpy(record.subject, "Sale");
  const std::string category = platform::Utf8ToCp932("英文フィッシングメール");
  const platform::LocalTime when = At(2026, 12, 10, 17, 34, 0);
  auto keep = [&](const platform::LocalTime& at, const std::string& subject) {
    auto copy = PendingCopy::Begin(at);
    copy->Write("x\r\n", 3);
    copy->Finish();
    KeptCopyInfo info{LogStamp(at).substr(0, kKeptStampLength), category, record.from, subject,
                      "", ""};
    copy->Commit(info);
    return copy->name();
  };
  keep(At(2026, 12, 10, 17, 30, 0), "Sale");          // same mail, 4 minutes before
  const std::string mine = keep(At(2026, 12, 10, 17, 33, 59), "Sale");
  keep(At(2026, 12, 10, 17, 34, 0), "Sale again");    // another Subject
  const std::vector<KeptCopy> copies = ListKeptCopies();

  const std::string entry = LogEntry(category, record, when);
  std::string stamp, found_category, from, subject;
  ASSERT_TRUE(ParseLogEntry(entry, &stamp, &found_category, &from, &subject));
  EXPECT_EQ(stamp, "26.12.10  17:34");
  EXPECT_EQ(found_category, category);
  EXPECT_EQ(from, record.from);
  EXPECT_EQ(subject, "Sale");
  const int index = FindKeptCopy(copies, stamp, found_category, from, subject);
  ASSERT_GE(index, 0);
  EXPECT_EQ(copies[static_cast<size_t>(index)].name, mine);

  // An entry of another day finds nothing; a note is no deletion entry.
  EXPECT_EQ(FindKeptCopy(copies, "26.12.11  17:34", category, from, subject), -1);
  EXPECT_FALSE(ParseLogEntry(LogNote(category, "r", record, when), &stamp, &found_category,
                             &from, &subject));
}

// A message left on the server gets a note in the log: the page counts it as
// no deletion and the period stays that of the deletions.
TEST(KeptLogNote, IsReadAsNoDeletion) {
  MailRecord record{};
  std::strcpy(record.from, "a@example.jp");
  std::strcpy(record.subject, "x");
  const std::string category = platform::Utf8ToCp932("匿名メール");
  const std::string log = LogEntry(category, record, At(2026, 12, 10, 9, 0)) +
                          LogNote(category, platform::Utf8ToCp932("控えを保存できませんでした"),
                                  record, At(2026, 12, 11, 9, 0));
  const LogSummary summary = SummarizeLog(log);
  EXPECT_EQ(summary.count, "1");
  EXPECT_EQ(summary.period, "26.12.10  09:00 - 26.12.10  09:00");
  const std::string note = log.substr(log.find("\r\n\r\n") + 4);
  EXPECT_EQ(note.substr(0, 22), " 26.12.11  09:00      ");
  EXPECT_NE(note.find(platform::Utf8ToCp932("を削除せずサーバに残しました（控えを保存できませんでした）\r\n")),
            std::string::npos);
  EXPECT_NE(note.find(std::string(25, ' ') + "(Subject :x)\r\n\r\n"), std::string::npos);
}

TEST(KeptMbox, EntriesReadBackAsTheOriginalBytes) {
  const std::vector<std::string> messages = {
      "From: a@example.jp\r\nSubject: plain\r\n\r\nHello.\r\n",
      // Lines an mbox must quote, and lines that merely look similar.
      "Subject: quoting\r\n\r\nFrom here on\r\n>From the quoted\r\n>>From deeper\r\n"
      "From\r\nfrom lower case\r\n From indented\r\n",
      // Shift-JIS, a NUL and an empty line at the end.
      std::string("Subject: \x93\xfa\x96\x7b\r\n\r\n\x82\xa0\x00\r\n\r\n", 24),
      "Subject: last line From \r\n\r\nFrom ",  // no line end at all
  };
  std::string mbox;
  for (size_t i = 0; i < messages.size(); ++i) {
    mbox += MboxEntry(messages[i], LocalSeconds(At(2026, 12, 10, 17, 34, 5)));
  }
  EXPECT_EQ(mbox.substr(0, 44), "From MAILER-DAEMON Thu Dec 10 17:34:05 2026\n");
  EXPECT_NE(mbox.find("\r\n>From here on\r\n>>From the quoted\r\n>>>From deeper\r\nFrom\r\n"),
            std::string::npos);
  const std::vector<std::string> read = test::ReadMbox(mbox);
  ASSERT_EQ(read.size(), messages.size());
  for (size_t i = 0; i + 1 < messages.size(); ++i) EXPECT_EQ(read[i], messages[i]) << i;
  // A message without a final line end gets one; POP3 never hands one over.
  EXPECT_EQ(read.back(), messages.back() + "\n");
}

TEST(KeptNames, TimesReadBackFromNames) {
  EXPECT_EQ(SecondsOfName("20261210-173412-000") - SecondsOfName("20261209-173412-999"),
            24 * 60 * 60);
  EXPECT_EQ(SecondsOfName("19700101-000000-000"), 0);
  EXPECT_EQ(SecondsOfName("20261310-173412-000"), -1);  // month 13
  EXPECT_EQ(SecondsOfName("notes.txt"), -1);
  EXPECT_EQ(LocalSeconds(At(2024, 3, 1, 0, 0, 0)) - LocalSeconds(At(2024, 2, 28, 0, 0, 0)),
            2 * 24 * 60 * 60);  // a leap year
}

}  // namespace
}  // namespace zvrx
