// The reply readers, fed segment by segment: how bytes arrive decides what
// a reply means.
#include "checker/core/pop3_replies.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/fake_stream.h"

namespace zvrx {
namespace {

using test::FakeStream;
using test::FakeStreamScript;

struct Readers {
  std::shared_ptr<FakeStreamScript> script = std::make_shared<FakeStreamScript>();
  FakeStream stream{script};
  ReceiveBuffer receive = {};
  ChunkBuffer chunk = {};
  CarriedBytes carried;
  ReplyLine reply;
  BodyBuffer body;

  // The status line and text of a TOP reply, as Top reads them.
  PopResult ReadTop() {
    PopResult r = ReadAccumulatingReply(stream, receive, reply, carried);
    if (r != POP_OK) return r;
    return ReadMultiLineText(stream, receive, chunk, carried, body);
  }
  std::string Text() const { return std::string(body.bytes.data()); }
};

TEST(Pop3SingleReply, SplitsStatusAndArgumentText) {
  struct Case {
    const char* received;
    char status;
    const char* text;
  } cases[] = {
      {"+OK 3 3742\r\n", '+', "3 3742\r"},   // CR stays; only the LF ends the line
      {"+OK\r\n", '+', ""},                   // nothing behind the first word
      {"-ERR \t No such message\r\n", '-', "No such message\r"},  // blanks are spaces and tabs
      {"+OK no line end", '+', "no line end"},  // without LF the line is all received bytes
      {"+OK one\r\n+OK two\r\n", '+', "one\r"},  // only the first line counts
      {"\t+OK x\r\n", '\t', "+OK x\r"},  // a leading blank is an empty first word
  };
  for (const Case& c : cases) {
    Readers r;
    r.script->Reply(c.received);
    ASSERT_EQ(ReadSingleReply(r.stream, r.receive, r.reply), POP_OK) << c.received;
    EXPECT_EQ(r.reply.status, c.status) << c.received;
    EXPECT_STREQ(r.reply.text, c.text) << c.received;
  }
}

TEST(Pop3SingleReply, OneReceiveOnlySoASplitLineKeepsItsFirstSegment) {
  Readers r;
  r.script->Reply("+OK 3").Reply(" 3742\r\n");
  ASSERT_EQ(ReadSingleReply(r.stream, r.receive, r.reply), POP_OK);
  EXPECT_STREQ(r.reply.text, "3");
  // The rest is what the next reply read finds.
  ASSERT_EQ(ReadSingleReply(r.stream, r.receive, r.reply), POP_OK);
  EXPECT_EQ(r.reply.status, ' ');
}

TEST(Pop3SingleReply, FailedOrClosedReceiveIsASocketError) {
  Readers r;
  r.script->Reply("+OK first\r\n").FailReceive();
  ASSERT_EQ(ReadSingleReply(r.stream, r.receive, r.reply), POP_OK);
  EXPECT_EQ(ReadSingleReply(r.stream, r.receive, r.reply), POP_SOCKET_ERROR);
  // Closed: the buffer still holds "+OK first", which must not pass as a reply.
  EXPECT_EQ(ReadSingleReply(r.stream, r.receive, r.reply), POP_SOCKET_ERROR);
}

TEST(Pop3SingleReply, LongLineIsReadOnlyUpToTheBuffer) {
  Readers r;
  r.script->Reply("+OK " + std::string(700, 'x') + "\r\n");
  ASSERT_EQ(ReadSingleReply(r.stream, r.receive, r.reply), POP_OK);
  EXPECT_EQ(r.script->receive_capacities.at(0), kReceiveBufferSize);
  EXPECT_EQ(r.reply.text_length, kReceiveBufferSize - 4);
  EXPECT_EQ(std::strlen(r.reply.text), static_cast<size_t>(kReceiveBufferSize - 4));
}

TEST(Pop3AccumulatingReply, JoinsSegmentsAndAsksOnlyForTheFreeRest) {
  Readers r;
  r.script->Reply("+OK Log").Reply("ged in.\r\nX");
  ASSERT_EQ(ReadAccumulatingReply(r.stream, r.receive, r.reply, r.carried), POP_OK);
  EXPECT_EQ(r.reply.status, '+');
  EXPECT_STREQ(r.reply.text, "Logged in.\r");
  EXPECT_EQ(r.script->receive_capacities, (std::vector<int>{512, 512 - 7}));
  EXPECT_EQ(r.carried.count, 1);
  EXPECT_EQ(r.carried.position, 16);
  EXPECT_EQ(r.receive[r.carried.position], 'X');
}

TEST(Pop3AccumulatingReply, StopsAtAFullBufferWithoutLineEnd) {
  Readers r;
  r.script->Reply("+OK " + std::string(300, 'a')).Reply(std::string(300, 'b') + "\r\n");
  ASSERT_EQ(ReadAccumulatingReply(r.stream, r.receive, r.reply, r.carried), POP_OK);
  EXPECT_EQ(r.script->receive_capacities.size(), 2u);
  EXPECT_EQ(r.reply.text_length, kReceiveBufferSize - 4);
  EXPECT_EQ(r.carried.count, 0);
}

TEST(Pop3AccumulatingReply, PeerClosingOrFailingBeforeTheLineEndIsASocketError) {
  for (bool fail : {false, true}) {
    Readers r;
    r.script->Reply("+OK half");
    if (fail) r.script->FailReceive();
    EXPECT_EQ(ReadAccumulatingReply(r.stream, r.receive, r.reply, r.carried), POP_SOCKET_ERROR);
  }
}

TEST(Pop3MultiLine, EverySplitOfTheReplyGivesTheSameText) {
  const std::string text = "Subject: x\r\n\r\n..dot stuffed\r\nlast\r\n";
  const std::string wire = "+OK\r\n" + text + ".\r\n";
  for (size_t split = 1; split < wire.size(); ++split) {
    Readers r;
    r.script->Reply(wire.substr(0, split)).Reply(wire.substr(split));
    ASSERT_EQ(r.ReadTop(), POP_OK) << "split at " << split;
    // The text keeps the CR LF before the "." line; the length stops one short.
    EXPECT_EQ(r.Text(), text) << "split at " << split;
    EXPECT_EQ(r.body.text_length, static_cast<int>(text.size()) - 1) << "split at " << split;
  }
}

TEST(Pop3MultiLine, TerminatorRightBehindTheStatusLineIsAnEmptyText) {
  // In the carried-over bytes, in its own segment, and split in two.
  const std::vector<std::vector<std::string>> arrivals = {
      {"+OK\r\n.\r\n"}, {"+OK\r\n", ".\r\n"}, {"+OK\r\n.", "\r\n"}};
  for (const auto& segments : arrivals) {
    Readers r;
    for (const std::string& s : segments) r.script->Reply(s);
    r.script->Reply("+OK next\r\n");
    ASSERT_EQ(r.ReadTop(), POP_OK) << segments.size();
    EXPECT_EQ(r.Text(), "");
    EXPECT_EQ(r.body.text_length, 0);
    // Nothing of the next reply was taken.
    ASSERT_EQ(ReadSingleReply(r.stream, r.receive, r.reply), POP_OK);
    EXPECT_STREQ(r.reply.text, "next\r");
  }
}

TEST(Pop3MultiLine, LongTextIsCutAt18902BytesAndTheRestDrained) {
  std::string text;
  for (int i = 0; text.size() < 30000; ++i) text += "line " + std::to_string(i) + " abcdefghij\r\n";
  Readers r;
  r.script->Reply("+OK\r\n" + text.substr(0, 400));
  for (size_t at = 400; at < text.size(); at += 1460) r.script->Reply(text.substr(at, 1460));
  r.script->Reply(".\r\n").Reply("+OK next\r\n");
  ASSERT_EQ(r.ReadTop(), POP_OK);
  EXPECT_EQ(r.Text(), text.substr(0, 18902));
  EXPECT_EQ(r.body.text_length, 18901);
  for (int capacity : r.script->receive_capacities) EXPECT_LE(capacity, kChunkBufferSize);
  EXPECT_FALSE(r.script->closed);
  ASSERT_EQ(ReadSingleReply(r.stream, r.receive, r.reply), POP_OK);
  EXPECT_STREQ(r.reply.text, "next\r");
}

TEST(Pop3MultiLine, TerminatorSplitRightAtTheCutIsFound) {
  // 471 carried bytes and 18 chunks of 1024 stop the text at 18,903 bytes,
  // ending in the terminator's CR LF, where the cut's NUL goes (index 18,902).
  Readers r;
  r.script->Reply("+OK\r\n" + std::string(471, 'a'))
      .Reply(std::string(18430, 'a') + "\r\n")
      .Reply(".\r\n")
      .Reply("+OK next\r\n");
  ASSERT_EQ(r.ReadTop(), POP_OK);
  EXPECT_EQ(r.body.text_length, 18901);
  ASSERT_EQ(ReadSingleReply(r.stream, r.receive, r.reply), POP_OK);
  EXPECT_STREQ(r.reply.text, "next\r");
}

TEST(Pop3MultiLine, DrainThatFailsClosesTheStream) {
  struct Case {
    const char* what;
    int after_end;           // the peer closes (0) or times out (-1) ...
    size_t rest;             // ... after this many bytes behind the cut text
    PopResult expected;
  } cases[] = {
      {"peer closes", 0, 5000, POP_CLOSED},
      {"time-out", -1, 5000, POP_SOCKET_ERROR},
      {"endless reply", 0, kDrainLimit + 4096, POP_SOCKET_ERROR},
  };
  for (const Case& c : cases) {
    Readers r;
    r.script->after_end = c.after_end;
    r.script->Reply("+OK\r\n");
    std::string data(20000 + c.rest, 'z');
    for (size_t at = 0; at < data.size(); at += 65536) r.script->Reply(data.substr(at, 65536));
    EXPECT_EQ(r.ReadTop(), c.expected) << c.what;
    EXPECT_TRUE(r.script->closed) << c.what;
  }
}

TEST(Pop3MultiLine, PeerClosingOrFailingMidTextEndsTheRead) {
  for (int after_end : {0, -1}) {
    Readers r;
    r.script->after_end = after_end;
    r.script->Reply("+OK\r\nSubject: x\r\n\r\nhalf a bo");
    EXPECT_EQ(r.ReadTop(), after_end == 0 ? POP_CLOSED : POP_SOCKET_ERROR);
  }
}

TEST(Pop3MultiLine, ReusedBufferHoldsNothingOfTheLastMessage) {
  Readers r;
  r.script->Reply("+OK\r\n" + std::string(5000, 'q') + "\r\n.\r\n");
  ASSERT_EQ(r.ReadTop(), POP_OK);
  const char* first = r.body.data();
  r.script->Reply("+OK\r\nshort\r\n.\r\n");
  ASSERT_EQ(r.ReadTop(), POP_OK);
  EXPECT_EQ(r.body.data(), first);  // reused, not made again
  EXPECT_EQ(r.Text(), "short\r\n");
  // The NUL sits on the "." line; only that line's CR LF remains behind it.
  EXPECT_EQ(std::string(r.body.data() + 7, 3), std::string("\0\r\n", 3));
  for (size_t i = 10; i < kBodyTextSize; ++i) ASSERT_EQ(r.body.bytes[i], 0) << i;
}

TEST(Pop3Numbers, LeadingNumberSaturatesAndSkipWordSkipsBlanks) {
  EXPECT_EQ(LeadingNumber("3742\r", INT32_MAX), 3742);
  EXPECT_EQ(LeadingNumber("x1", INT32_MAX), 0);
  EXPECT_EQ(LeadingNumber("99999999999999999999", INT16_MAX), INT16_MAX);
  EXPECT_EQ(SkipWord("1 \t 197", 7), 4);
  EXPECT_EQ(SkipWord("197", 3), 3);
}

}  // namespace
}  // namespace zvrx
