// ParseMessage: the record's header fields, the body moved to the buffer's
// start with the rest of the converted text kept behind it, and the shared
// text length.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "checker/analysis/parse_message.h"
#include "platform/cp932.h"
#include "tests/support/sjis.h"

namespace zvrx {
namespace {

using test::Sjis;

// A buffer laid out as TOP leaves it: the text up to its last CR LF, the
// count up to that CR, and a NUL behind the LF. Exactly as long as that, so
// that a write past the text is caught by the sanitizers.
struct TopText {
  explicit TopText(const std::string& top)
      : size(top.size() + 1), bytes(new char[size]),
        text_length(static_cast<int16_t>(top.empty() ? 0 : top.size() - 1)) {
    std::memcpy(bytes.get(), top.data(), top.size());
    bytes[top.size()] = '\0';
  }
  void Parse(MailRecord& record, ShiftJisConverter& converter) {
    ParseMessage(bytes.get(), text_length, record, converter);
  }
  std::string Body() const { return std::string(bytes.get()); }
  // What the scoring reads: the first text_length bytes.
  std::string Scored() const { return std::string(bytes.get(), static_cast<size_t>(text_length)); }

  size_t size;
  std::unique_ptr<char[]> bytes;
  int16_t text_length;
};

MailRecord StaleRecord() {
  MailRecord record;
  std::memset(&record, 'x', sizeof record);  // a previous message's leftovers
  return record;
}

struct FieldCase {
  const char* rule;
  std::string top;
  std::string subject = "";
  std::string from = "";
  std::string date = "";
  std::string message_id = "";
  std::string content_type = "";
  std::string charset = "";
  int32_t extra_recipients = 0;
};

void ExpectFields(const FieldCase& c) {
  MailRecord record = StaleRecord();
  ShiftJisConverter converter;
  TopText text(c.top);
  text.Parse(record, converter);
  EXPECT_EQ(std::string(record.subject), c.subject) << c.rule;
  EXPECT_EQ(std::string(record.from), c.from) << c.rule;
  EXPECT_EQ(std::string(record.date), c.date) << c.rule;
  EXPECT_EQ(std::string(record.message_id), c.message_id) << c.rule;
  EXPECT_EQ(std::string(record.content_type), c.content_type) << c.rule;
  EXPECT_EQ(std::string(record.charset), c.charset) << c.rule;
  EXPECT_EQ(record.extra_recipients, c.extra_recipients) << c.rule;
}

TEST(ParseMessage, ExtractsHeaderFields) {
  const std::string long_subject(300, 's');
  const FieldCase cases[] = {
      {.rule = "an encoded-word Subject becomes the Shift-JIS greeting",
       .top = "Subject: =?iso-2022-jp?b?GyRCJDMkcyRLJEEkTxsoQg==?=\r\n\r\nbody\r\n",
       .subject = Sjis("こんにちは")},
      {.rule = "a blank inside Base64 stops decoding for the whole message",
       .top = "Subject: =?ISO-2022-JP?B?GyRCJDMk cyRLJEEkTxsoQg==?=\r\n"
              "From: =?ISO-2022-JP?B?QUJD?=\r\n\r\n",
       .subject = "=?ISO-2022-JP?B?GyRCJDMk cyRLJEEkTxsoQg==?=",
       .from = "=?ISO-2022-JP?B?QUJD?="},
      {.rule = "an empty encoded word stays and stops decoding",
       .top = "Subject: =?ISO-2022-JP?B?" "?=\r\nFrom: =?ISO-2022-JP?B?QUJD?=\r\n\r\n",
       .subject = "=?ISO-2022-JP?B?" "?=",
       .from = "=?ISO-2022-JP?B?QUJD?="},
      {.rule = "a folded Subject keeps the tab between its lines",
       .top = "Subject: abc\r\n\tdef\r\nFrom: taro@example.jp\r\n\r\n",
       .subject = "abc\tdef",
       .from = "taro@example.jp"},
      {.rule = "two encoded words on a folded line keep one blank between them",
       .top = "Subject: =?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=\r\n =?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=\r\n\r\n",
       .subject = Sjis("日本語 日本語")},
      {.rule = "header names match in any case, each value ends at its line",
       .top = "SUBJECT: up\r\nfrom: low\r\nDATE: Wed, 05 Jan 2005\r\nMESSAGE-ID: <m@x>\r\n\r\n",
       .subject = "up",
       .from = "low",
       .date = "Wed, 05 Jan 2005",
       .message_id = "<m@x>"},
      {.rule = "a name without its blank is not the field",
       .top = "Subject:abc\r\n\r\n"},
      {.rule = "a longer header name ending in the literal is taken when it comes first",
       .top = "Resent-From: list@example.jp\r\nFrom: hanako@example.jp\r\n\r\n",
       .from = "list@example.jp"},
      {.rule = "a Subject of 300 bytes keeps its first 254; From after it is whole",
       .top = "Subject: " + long_subject + "\r\nFrom: taro@example.jp\r\n\r\n",
       .subject = long_subject.substr(0, 254),
       .from = "taro@example.jp"},
      {.rule = "TEXT/PLAIN with charset=ISO-2022-JP",
       .top = "Content-Type: TEXT/PLAIN; charset=ISO-2022-JP\r\n\r\n",
       .content_type = "TEXT",
       .charset = "ISO-2022-JP"},
      {.rule = "a quoted charset on a folded line loses its quotes",
       .top = "Content-Type: text/plain;\r\n charset=\"Shift_JIS\"; format=flowed\r\n\r\n",
       .content_type = "text",
       .charset = "Shift_JIS"},
      {.rule = "fields come from the header only, never from the body",
       .top = "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
              "Content-Type: text/plain; charset=\"iso-2022-jp\"\r\nSubject: inner\r\n",
       .content_type = "multipart"},
      {.rule = "Reply-To before To: its commas are the ones counted",
       .top = "Reply-To: a@example.jp, b@example.jp\r\nTo: c@x, d@x, e@x\r\n\r\n",
       .extra_recipients = 1},
      {.rule = "commas of To and Cc, folded lines included; CC in capitals is not Cc",
       .top = "To: a@x,\r\n b@x, c@x\r\nCc: d@x, e@x\r\nCC: f@x, g@x\r\n\r\n",
       .extra_recipients = 3},
      {.rule = "no blank line: the whole text is the header",
       .top = "Subject: only a header\r\nTo: a@x, b@x\r\n",
       .subject = "only a header",
       .extra_recipients = 1},
  };
  for (const FieldCase& c : cases) ExpectFields(c);
}

TEST(ParseMessage, CutsEveryFieldAt254Bytes) {
  for (size_t n : {253u, 254u, 255u}) {
    const std::string value(n, 'v');
    MailRecord record = StaleRecord();
    ShiftJisConverter converter;
    TopText text("Subject: " + value + "\r\nDate: " + value + "\r\nContent-Type: " + value +
                 "\r\n\r\n");
    text.Parse(record, converter);
    const std::string kept = value.substr(0, 254);
    EXPECT_EQ(std::string(record.subject), kept) << n;
    EXPECT_EQ(std::string(record.date), kept) << n;
    EXPECT_EQ(std::string(record.content_type), kept) << n;
    EXPECT_EQ(record.subject[kMailFieldSize - 1], '\0');
  }
}

std::string ReadFixture(const char* name) {
  std::ifstream in(std::string(ZVRX_SOURCE_DIR) + "/tests/data/mail/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ParseMessage, TurnsAJapaneseMessageIntoShiftJisAndKeepsTheRestBehindTheBody) {
  const std::string top = ReadFixture("jis_greeting.eml");
  ASSERT_FALSE(top.empty());
  MailRecord record = StaleRecord();
  ShiftJisConverter converter;
  TopText text(top);
  text.Parse(record, converter);

  EXPECT_EQ(std::string(record.subject), Sjis("こんにちは"));
  EXPECT_EQ(std::string(record.from), Sjis("山田花子 <hanako@example.jp>"));
  EXPECT_EQ(std::string(record.date), "Wed, 05 Jan 2005 09:07:00 +0900");
  EXPECT_EQ(std::string(record.message_id), "<20050105090700.1234@example.jp>");
  EXPECT_EQ(std::string(record.content_type), "text");
  EXPECT_EQ(std::string(record.charset), "ISO-2022-JP");
  EXPECT_EQ(record.extra_recipients, 1);

  // The converted text ends where the count ended, before TOP's last LF.
  const std::string header = Sjis(
      "Return-Path: <hanako@example.jp>\r\n"
      "Message-Id: <20050105090700.1234@example.jp>\r\n"
      "Date: Wed, 05 Jan 2005 09:07:00 +0900\r\n"
      "From: 山田花子 <hanako@example.jp>\r\n"
      "To: taro@example.jp, jiro@example.jp\r\n"
      "Cc: saburo@example.jp\r\n"
      "Subject: こんにちは\r\n"
      "MIME-Version: 1.0\r\n"
      "Content-Type: text/plain; charset=\"ISO-2022-JP\"\r\n"
      "Content-Transfer-Encoding: 7bit");
  const std::string body = Sjis(
      "こんにちは、山田です。\r\n来週の会議の件でご連絡します。\r\n\r\n"
      "よろしくお願いします。\r");
  const std::string converted = header + std::string("\0\n\r\n", 4) + body;
  ASSERT_EQ(text.text_length, static_cast<int16_t>(converted.size()));
  EXPECT_EQ(text.Body(), body);
  EXPECT_EQ(text.Scored(), body + '\0' + converted.substr(body.size() + 1));
}

TEST(ParseMessage, LeavesShiftJisAnd7BitTextsAsTheyWere) {
  for (const std::string& top :
       {Sjis("Subject: 件名\r\nFrom: a@x\r\n\r\n本文です。\r\n"),
        std::string("Subject: plain\r\nFrom: a@x\r\n\r\nbody \x1b$(D stays\r\n")}) {
    MailRecord record = StaleRecord();
    ShiftJisConverter converter;
    TopText text(top);
    text.Parse(record, converter);
    const size_t body_at = top.find("\r\n\r\n") + 4;
    EXPECT_EQ(text.Body(), top.substr(body_at));
    EXPECT_EQ(text.text_length, static_cast<int16_t>(top.size() - 1));
    EXPECT_EQ(std::string(record.subject), top.substr(9, top.find("\r\n") - 9));
  }
}

TEST(ParseMessage, ConvertsEucLikeTextsAndKeepsUnknownDesignations) {
  struct Case {
    const char* rule;
    std::string top;
    std::string subject;
    std::string body;
  };
  const Case cases[] = {
      {"only pairs led by 0xE0-0xED: EUC-JP", "Subject: \xe0\xa1\r\n\r\n\xed\xa1\r\n",
       Sjis("燹"), Sjis("蹇") + "\r"},
      {"ESC $ ( D stays as its four bytes in a JIS text",
       "Subject: \x1b$B$3\x1b(B\r\n\r\n\x1b$(Dab\x1b$B$3\x1b(B\r\n", Sjis("こ"),
       "\x1b$(Dab" + Sjis("こ") + "\r"},
  };
  for (const Case& c : cases) {
    MailRecord record = StaleRecord();
    ShiftJisConverter converter;
    TopText text(c.top);
    text.Parse(record, converter);
    EXPECT_EQ(std::string(record.subject), c.subject) << c.rule;
    EXPECT_EQ(text.Body(), c.body) << c.rule;
  }
}

TEST(ParseMessage, ConvertsHeaderAndBodyEachByItsOwnCode) {
  // "日本" in each code, and the header's Subject as a JIS run (what an
  // ISO-2022-JP encoded word decodes to).
  const std::string jis_subject = "Subject: \x1b$BF|K\\\x1b(B\r\n";
  const std::string euc = "\xc6\xfc\xcb\xdc";
  const std::string sjis = Sjis("日本");
  struct Case {
    const char* rule;
    std::string top;
    std::string body;
  };
  const Case cases[] = {
      {"EUC-JP body behind a JIS header", jis_subject + "\r\n" + euc + "\r\n", sjis + "\r"},
      {"Shift-JIS body behind a JIS header", jis_subject + "\r\n" + sjis + "\r\n",
       sjis + "\r\n"},
      {"JIS body behind a plain header", "Subject: \x1b$BF|K\\\x1b(B\r\n\r\n\x1b$BF|K\\\x1b(B\r\n",
       sjis + "\r"},
      {"EUC-JP header and body", "Subject: " + euc + "\r\n\r\n" + euc + "\r\n", sjis + "\r"},
  };
  for (const Case& c : cases) {
    MailRecord record = StaleRecord();
    ShiftJisConverter converter;
    TopText text(c.top);
    text.Parse(record, converter);
    EXPECT_EQ(std::string(record.subject), sjis) << c.rule;
    EXPECT_EQ(text.Body(), c.body) << c.rule;
    // The scored text is the converted header and body, without a gap.
    const std::string header = "Subject: " + sjis;
    EXPECT_EQ(text.text_length, static_cast<int16_t>(header.size() + 4 + c.body.size() -
                                                     (c.body.back() == '\n' ? 1 : 0)))
        << c.rule;
  }
}

TEST(ParseMessage, ATextWithoutBlankLineStaysWholeInTheBuffer) {
  const std::string top = "Subject: s\r\nFrom: a@x\r\n";
  MailRecord record = StaleRecord();
  ShiftJisConverter converter;
  TopText text(top);
  text.Parse(record, converter);
  EXPECT_EQ(text.Body(), top);
  EXPECT_EQ(std::string(record.from), "a@x");
}

TEST(ParseMessage, EveryMessageStartsOutsideTwoByteMode) {
  // The first message ends inside a two-byte run; the converter is reused.
  ShiftJisConverter converter;
  MailRecord record = StaleRecord();
  TopText first("Subject: s\r\n\r\n\x1b$B$3$s\r\n");
  first.Parse(record, converter);
  TopText second("Subject: abc\r\n\r\n\x1b$B$3\x1b(B\r\n");
  second.Parse(record, converter);
  EXPECT_EQ(std::string(record.subject), "abc");
  EXPECT_EQ(second.Body(), Sjis("こ") + "\r");
}

TEST(ParseMessage, AnEmptyTopLeavesEmptyFields) {
  std::unique_ptr<char[]> bytes(new char[1]{'\0'});
  int16_t text_length = 0;
  MailRecord record = StaleRecord();
  ShiftJisConverter converter;
  ParseMessage(bytes.get(), text_length, record, converter);
  EXPECT_EQ(text_length, 0);
  EXPECT_EQ(record.subject[0], '\0');
  EXPECT_EQ(record.charset[0], '\0');
  EXPECT_EQ(record.extra_recipients, 0);
}

}  // namespace
}  // namespace zvrx
