// FetchAndParse over a scripted server: the order of commands, the record it
// fills, and how it ends a walk or passes a failure back.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "checker/core/fetch_and_parse.h"
#include "tests/support/fake_stream.h"

namespace zvrx {
namespace {

const std::string kTop =
    "Message-Id: <m1@example.jp>\r\n"
    "Subject: =?ISO-2022-JP?B?GyRCJDMkcyRLJEEkTxsoQg==?=\r\n"
    "From: hanako@example.jp\r\n"
    "\r\n"
    "\x1b$B$3$s$K$A$O\x1b(B\r\n";
const std::string kGreeting = "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd";  // こんにちは

struct Fixture {
  explicit Fixture(std::shared_ptr<test::FakeStreamScript> s) : script(std::move(s)) {
    connection.socket = std::make_unique<test::FakeStream>(script);
    std::memset(&record, 'x', sizeof record);  // the previous message's leftovers
  }
  FetchResult Fetch() { return FetchAndParse(connection, 3, record, body, walk, converter); }

  std::shared_ptr<test::FakeStreamScript> script;
  PopConnection connection;
  MailRecord record;
  BodyBuffer body;
  MarkerWalk walk;
  ShiftJisConverter converter;
};

std::shared_ptr<test::FakeStreamScript> Server(const std::string& uidl_reply) {
  auto script = std::make_shared<test::FakeStreamScript>();
  script->Reply("+OK 3 812\r\n").Reply(uidl_reply).Reply("+OK\r\n" + kTop + ".\r\n");
  return script;
}

TEST(FetchAndParse, FillsTheRecordAndLeavesTheBodyForTheJudgment) {
  Fixture f(Server("+OK 3 uid-0003\r\n"));
  std::strcpy(f.walk.old_marker.uidl, "uid-0001");
  const FetchResult fetched = f.Fetch();

  EXPECT_EQ(fetched.result, POP_OK);
  EXPECT_FALSE(fetched.already_seen);
  EXPECT_EQ(fetched.Code(), -2);
  EXPECT_EQ(f.script->sends, (std::vector<std::string>{"LIST 3\r\n", "UIDL 3\r\n", "TOP 3 150\r\n"}));
  EXPECT_EQ(f.record.size, 812);
  EXPECT_EQ(std::string(f.record.uidl), "uid-0003");
  EXPECT_EQ(std::string(f.record.subject), kGreeting);
  EXPECT_EQ(std::string(f.record.message_id), "<m1@example.jp>");
  ASSERT_TRUE(f.body.allocated());
  EXPECT_EQ(std::string(f.body.data()), kGreeting + "\r");
  // Not the marked message: it is the candidate for the new marker.
  EXPECT_EQ(std::string(f.walk.new_marker.uidl), "uid-0003");
}

TEST(FetchAndParse, TheMarkedMessageEndsTheWalkAndReleasesTheBody) {
  Fixture f(Server("+OK 3 uid-0003\r\n"));
  std::strcpy(f.walk.old_marker.uidl, "uid-0003");
  const FetchResult fetched = f.Fetch();
  EXPECT_TRUE(fetched.already_seen);
  EXPECT_EQ(fetched.Code(), kAlreadySeenCode);
  EXPECT_FALSE(f.body.allocated());
  EXPECT_EQ(f.body.text_length, 0);
}

TEST(FetchAndParse, ARefusedUidlLeavesTheIdEmptyAndIsNoError) {
  Fixture f(Server("-ERR UIDL not supported\r\n"));
  std::strcpy(f.walk.old_marker.message_id, "<m0@example.jp>");
  const FetchResult fetched = f.Fetch();
  EXPECT_EQ(fetched.result, POP_OK);
  EXPECT_FALSE(fetched.already_seen);
  EXPECT_EQ(std::string(f.record.uidl), "");
  EXPECT_EQ(f.record.uidl[kMailFieldSize - 1], '\0');
}

TEST(FetchAndParse, PassesListAndTopFailuresBackUnchanged) {
  struct Case {
    const char* rule;
    std::vector<test::FakeStreamScript::Segment> replies;
    PopResult expected;
    size_t sends;
  };
  const Case cases[] = {
      {"LIST receive fails", {{"", true}}, POP_SOCKET_ERROR, 1},
      {"TOP refused", {{"+OK 3 812\r\n"}, {"+OK 3 u\r\n"}, {"-ERR no such message\r\n"}},
       POP_COMMAND_FAILED, 3},
      {"server gone in the middle of TOP", {{"+OK 3 812\r\n"}, {"+OK 3 u\r\n"}, {"+OK\r\nSubj"}},
       POP_CLOSED, 3},
      // A LIST or UIDL reply that is no POP3 reply: no further command.
      {"garbage for LIST", {{std::string(700, 'g')}}, POP_BAD_REPLY, 1},
      {"garbage for UIDL", {{"+OK 3 812\r\n"}, {"garbage\r\n"}}, POP_BAD_REPLY, 2},
      {"UIDL unanswered", {{"+OK 3 812\r\n"}}, POP_SOCKET_ERROR, 2},
  };
  for (const Case& c : cases) {
    auto script = std::make_shared<test::FakeStreamScript>();
    for (const auto& segment : c.replies) script->segments.push_back(segment);
    Fixture f(script);
    const FetchResult fetched = f.Fetch();
    EXPECT_EQ(fetched.result, c.expected) << c.rule;
    EXPECT_FALSE(fetched.already_seen) << c.rule;
    EXPECT_EQ(script->sends.size(), c.sends) << c.rule;
  }
}

}  // namespace
}  // namespace zvrx
