// The reply readers, fed segment by segment: how bytes arrive decides what
// a reply means.
#include "checker/core/pop3_replies.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/fake_clock.h"
#include "tests/support/fake_stream.h"

namespace zvrx {
namespace {

using test::FakeStream;
using test::FakeStreamScript;

struct Readers {
  test::FakeClock clock;
  test::ScopedClock scoped_clock{clock};
  std::shared_ptr<FakeStreamScript> script = std::make_shared<FakeStreamScript>();
  FakeStream stream{script};
  ReceiveBuffer receive = {};
  ChunkBuffer chunk = {};
  CarriedBytes carried;
  ReplyLine reply;
  BodyBuffer body;

  // The status line and text of a TOP reply, as Top reads them.
  PopResult ReadTop() {
    const ReplyDeadline deadline = ReplyDeadline::FromNow();  // one for the whole reply
    PopResult r = ReadAccumulatingReply(stream, receive, reply, carried, deadline);
    if (r != POP_OK) return r;
    return ReadMultiLineText(stream, receive, chunk, carried, body, deadline);
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
      {"+OK\n", '+', ""},                     // a bare LF ends the line too
      {"-ERR\r\n", '-', ""},
  };
  for (const Case& c : cases) {
    Readers r;
    r.script->Reply(c.received);
    ASSERT_EQ(ReadSingleReply(r.stream, r.receive, r.reply), POP_OK) << c.received;
    EXPECT_EQ(r.reply.status, c.status) << c.received;
    EXPECT_STREQ(r.reply.text, c.text) << c.received;
  }
}

// TCP (and TLS records) may split a reply anywhere: a short status line
// split at every offset, and dealt out a byte at a time, reads the same.
TEST(Pop3SingleReply, SplitAtEveryOffsetReadsTheSameLine) {
  const std::string line = "+OK 2 320\r\n";
  for (size_t split = 1; split < line.size(); ++split) {
    Readers r;
    r.script->Reply(line.substr(0, split)).Reply(line.substr(split));
    ASSERT_EQ(ReadSingleReply(r.stream, r.receive, r.reply), POP_OK) << "split at " << split;
    EXPECT_EQ(r.reply.status, '+') << "split at " << split;
    EXPECT_STREQ(r.reply.text, "2 320\r") << "split at " << split;
  }
  Readers r;
  for (char c : line) r.script->Reply(std::string(1, c));
  ASSERT_EQ(ReadSingleReply(r.stream, r.receive, r.reply), POP_OK);
  EXPECT_STREQ(r.reply.text, "2 320\r");
  EXPECT_EQ(r.script->receive_capacities.size(), line.size());
}

// What is no reply of this command ends the session instead of being
// taken for one: client and server would no longer agree on what comes
// next.
TEST(Pop3SingleReply, WhatIsNoPop3ReplyIsRefused) {
  struct Case {
    const char* what;
    std::vector<std::string> segments;
    PopResult result;
  } cases[] = {
      {"no status character", {"garbage\r\n"}, POP_BAD_REPLY},
      {"a leading blank", {"\t+OK x\r\n"}, POP_BAD_REPLY},
      {"a second reply behind the line", {"+OK one\r\n+OK two\r\n"}, POP_BAD_REPLY},
      {"a second reply's start behind the line", {"+OK one\r\n", "+"}, POP_OK},
      {"700 bytes without a line end", {std::string(700, 'g')}, POP_BAD_REPLY},
      {"the line end never comes: the peer closes", {"+OK no line end"}, POP_SOCKET_ERROR},
  };
  for (const Case& c : cases) {
    Readers r;
    for (const std::string& segment : c.segments) r.script->Reply(segment);
    EXPECT_EQ(ReadSingleReply(r.stream, r.receive, r.reply), c.result) << c.what;
  }
}

TEST(Pop3SingleReply, FailedOrClosedReceiveIsASocketError) {
  Readers r;
  r.script->Reply("+OK first\r\n").FailReceive();
  ASSERT_EQ(ReadSingleReply(r.stream, r.receive, r.reply), POP_OK);
  EXPECT_EQ(ReadSingleReply(r.stream, r.receive, r.reply), POP_SOCKET_ERROR);
  // Closed: the buffer still holds "+OK first", which must not pass as a reply.
  EXPECT_EQ(ReadSingleReply(r.stream, r.receive, r.reply), POP_SOCKET_ERROR);
}

// The 512-byte buffer stays; a status line that does not fit it (its CR LF
// included) is an error, never cut. 511, 512 and 513 bytes in all.
TEST(Pop3SingleReply, StatusLineMustFitTheBuffer) {
  for (int length : {kReceiveBufferSize - 1, kReceiveBufferSize, kReceiveBufferSize + 1}) {
    const std::string line = "+OK " + std::string(static_cast<size_t>(length - 6), 'x') + "\r\n";
    for (bool accumulating : {false, true}) {
      Readers r;
      r.script->Reply(line.substr(0, 300)).Reply(line.substr(300));
      PopResult result = accumulating
                             ? ReadAccumulatingReply(r.stream, r.receive, r.reply, r.carried)
                             : ReadSingleReply(r.stream, r.receive, r.reply);
      SCOPED_TRACE(testing::Message() << length << (accumulating ? " accumulating" : " single"));
      for (int capacity : r.script->receive_capacities) EXPECT_LE(capacity, kReceiveBufferSize);
      if (length <= kReceiveBufferSize) {
        ASSERT_EQ(result, POP_OK);
        EXPECT_EQ(r.reply.text_length, length - 5);  // behind "+OK ", up to the LF
      } else {
        EXPECT_EQ(result, POP_BAD_REPLY);
      }
    }
  }
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
    int after_end;           // the peer closes (0), fails (-1) or goes quiet ...
    size_t rest;             // ... after this many bytes behind the cut text
    PopResult expected;
  } cases[] = {
      {"peer closes", 0, 5000, POP_CLOSED},
      {"receive fails", -1, 5000, POP_SOCKET_ERROR},
      {"silence until the deadline", -1, 5000, POP_TIMED_OUT},
  };
  for (const Case& c : cases) {
    Readers r;
    r.script->after_end = c.after_end;
    if (c.expected == POP_TIMED_OUT) r.script->clock = &r.clock;
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

// Each reply has one deadline as a whole, not one per receive: every
// receive may wait only for what is left of it, so a server that sends a
// byte now and then cannot stretch a reply past 120 s.
TEST(Pop3Deadline, AWholeReplyMustArriveWithin120Seconds) {
  const std::string top_data = "Subject: slow\r\n\r\n" + std::string(3000, 'b') + "\r\n.\r\n";
  struct Case {
    const char* what;
    bool top;            // a TOP reply (status line and data), else a one-line reply
    int gap_ms;          // each piece arrives this long after the last
    std::string wire;    // sent in pieces of `piece` bytes
    size_t piece;
    PopResult result;
    uint64_t waited_ms;  // virtual time the read took
  } cases[] = {
      {"one line, a byte every 10 s, done in 110 s", false, 10000, "+OK ready\r\n", 1, POP_OK,
       110000},
      {"one line, a byte every 10 s, not done in 120 s", false, 10000, "+OK hello there\r\n", 1,
       POP_TIMED_OUT, 120000},
      {"one line, silence", false, 0, "", 1, POP_TIMED_OUT, 120000},
      {"TOP, 1 KB every 10 s, done in 30 s", true, 10000, "+OK\r\n" + top_data, 1024, POP_OK,
       30000},
      {"TOP, 200 bytes every 10 s, not done in 120 s", true, 10000, "+OK\r\n" + top_data, 200,
       POP_TIMED_OUT, 120000},
      {"TOP, a byte every 10 s in its status line", true, 10000, "+OK " + std::string(20, 'x'),
       1, POP_TIMED_OUT, 120000},
  };
  for (const Case& c : cases) {
    Readers r;
    r.script->clock = &r.clock;
    r.script->after_end = -1;  // then silence
    for (size_t at = 0; at < c.wire.size(); at += c.piece) {
      r.script->After(c.gap_ms, c.wire.substr(at, c.piece));
    }
    const uint64_t start = r.clock.TickCount();
    PopResult result = c.top ? r.ReadTop() : ReadSingleReply(r.stream, r.receive, r.reply);
    EXPECT_EQ(result, c.result) << c.what;
    EXPECT_EQ(r.clock.TickCount() - start, c.waited_ms) << c.what;
    // Every receive was told what was left, never more than the whole.
    int last = kReplyDeadlineMs + 1;
    for (int timeout : r.script->receive_timeouts) {
      EXPECT_GT(timeout, 0) << c.what;
      EXPECT_LE(timeout, last) << c.what;
      last = timeout;
    }
  }
}

// An oversized message is read past, however large, when it arrives in
// time: the reply is cut at 18,902 bytes and the next reply read right.
TEST(Pop3MultiLine, TwoMegabyteTopIsReadPast) {
  Readers r;
  r.script->Reply("+OK\r\nX-Long: ");
  for (int i = 0; i < 32; ++i) r.script->Reply(std::string(64 * 1024, 'h'));  // 2 MB
  r.script->Reply("\r\n\r\nbody\r\n.\r\n").Reply("+OK 5 1\r\n");
  ASSERT_EQ(r.ReadTop(), POP_OK);
  EXPECT_EQ(r.body.text_length, 18901);
  EXPECT_FALSE(r.script->closed);
  ASSERT_EQ(ReadSingleReply(r.stream, r.receive, r.reply), POP_OK);
  EXPECT_STREQ(r.reply.text, "5 1\r");
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
