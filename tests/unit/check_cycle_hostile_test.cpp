// Whole checks against a hostile server that keeps a real mailbox: for each
// fault, what the server holds afterwards, the work log, the marker and the
// account's result must tell the same story. Deletions count only when the
// server committed them at QUIT; a session that ends any other way leaves
// the server, the log and the marker as they were. Waits run in fast motion
// (a 120 s deadline passes in well under a second of real time), and a
// silent or dripping server must not hold an account longer than the worst
// cases we name: 30 s to connect plus 120 s for a reply it never completes,
// and in any case the account's own time, 5 minutes plus 10 s per message
// examined (plus a connect under way).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "checker/analysis/marker.h"
#include "checker/core/check_cycle.h"
#include "checker/core/checker_state.h"
#include "checker/core/configuration.h"
#include "checker/core/fetch_and_parse.h"
#include "platform/cp932.h"
#include "shared/record_files.h"
#include "shared/records.h"
#include "tests/support/fake_clock.h"
#include "tests/support/checker_machine.h"
#include "tests/support/fake_mailbox_server.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_prefix.h"
#include "tests/support/time_lapse.h"

namespace zvrx {
namespace {

using test::FakeMail;
using test::FakeMailboxServer;
using test::MailboxFaults;
using Uidls = std::vector<std::string>;

constexpr int kLapse = 1000;  // 1 real ms is 1 s of the checker's time
// Rows that measure how long the account was held run slower, so that a
// busy machine's scheduling delays stay small against the margins.
constexpr int kMeasuredLapse = 200;
// A server that never completes a reply: a connect and one reply deadline.
constexpr uint64_t kWorstCaseMs = platform::kConnectTimeoutMs + kReplyDeadlineMs;  // 150 s
constexpr int kTenSecondsReal = 10000 / kMeasuredLapse;

FakeMail Spam(const std::string& uidl) {
  return {uidl, test::MailText({"From: spam@bad.example", "Subject: offer " + uidl,
                                "Message-Id: <" + uidl + "@bad.example>"},
                               "Cheap watches.\r\n")};
}
FakeMail Ham(const std::string& uidl) {
  return {uidl, test::MailText({"From: friend@good.example", "Subject: note " + uidl,
                                "Message-Id: <" + uidl + "@good.example>"},
                               "See you at lunch.\r\n")};
}
// A legitimate message whose top is one 2 MB header line, far more than
// the client reads.
FakeMail Huge(const std::string& uidl) {
  return {uidl, test::MailText({"From: friend@good.example", "Subject: note " + uidl,
                                "X-Scan-Report: " + std::string(2 << 20, 'r')},
                               "The report is attached.\r\n")};
}

// The Subjects of the work log's entries, in order.
std::vector<std::string> LoggedSubjects(const std::string& log) {
  const std::string prefix = std::string(25, ' ') + "(Subject :";
  std::vector<std::string> subjects;
  for (size_t at = 0; (at = log.find(prefix, at)) != std::string::npos;) {
    at += prefix.size();
    subjects.push_back(log.substr(at, log.find(")\r\n", at) - at));
  }
  return subjects;
}

std::vector<std::string> Subjects(const Uidls& uidls, const char* kind) {
  std::vector<std::string> subjects;
  for (const std::string& uidl : uidls) subjects.push_back(std::string(kind) + " " + uidl);
  return subjects;
}

// One emulated machine with one account on the server, judging by the
// rejection list (spam@bad.example).
class Machine : public test::ListJudgedMachine {
 public:
  // The transfer's faults alone: in fast motion the disk's real time for
  // kept copies would eat the account's time (check_cycle_kept_test keeps
  // copies under faults).
  explicit Machine(const std::string& host, int lapse = kLapse)
      : ListJudgedMachine(host, lapse, "keep_deleted = off\ntls1 = plain\n") {}

  // Runs one check; returns how long (checker time) the account took.
  uint64_t Check() {
    const uint64_t start = platform::TickCount();
    RunCheck(state_);
    return platform::TickCount() - start;
  }
  std::string MarkerPath() const {
    return prefix_.DataFolderHost() + "/" + platform::Cp932ToUtf8(MarkerFileName(account_));
  }
  void WriteMarker(const std::string& uidl) {
    MarkerRecord marker{};
    std::strcpy(marker.uidl, uidl.c_str());
    test::WriteHostFile(MarkerPath(),
                        std::string(reinterpret_cast<const char*>(&marker), sizeof marker));
  }
  // The marked UIDL; empty without a marker file.
  std::string Marker() const { return test::ReadHostFile(MarkerPath()).c_str(); }
  std::vector<std::string> Logged() const { return LoggedSubjects(Log()); }
};

// What one check must leave behind.
struct After {
  Uidls held;                        // on the server, oldest first
  std::vector<std::string> logged;   // Subjects in the log, in order, all checks so far
  std::string marker;                // marked UIDL; empty: no marker file
  int16_t result;                    // the account's stored result
  int32_t deleted;                   // the check's deletion count
};

struct HostileCase {
  std::string what;
  std::vector<FakeMail> mail;  // oldest first
  MailboxFaults faults;
  std::string marker_before;   // a marker written before the first check
  After first;
  uint64_t held_at_most = 0;   // when set: the account took 120 s up to this
  std::string last_command;    // of the first session, when it must end there
  // Optional second check: mail that arrived meanwhile, and the server's
  // faults then.
  bool again = false;
  std::vector<FakeMail> arrived;
  MailboxFaults faults_again;
  After second;
};

std::vector<HostileCase> HostileCases() {
  std::vector<HostileCase> cases;
  // A top far larger than the client reads is read past within the reply
  // deadline: the spam around it is deleted, now and at the next check.
  {
    HostileCase c;
    c.what = "oversized TOP";
    c.mail = {Spam("s1"), Ham("h2"), Spam("s3"), Huge("x4"), Spam("s5"), Ham("h6"), Spam("s7")};
    c.first = {{"h2", "x4", "h6"}, Subjects({"s7", "s5", "s3", "s1"}, "offer"), "h6", -2, 4};
    c.again = true;
    c.arrived = {Spam("s8"), Huge("x9"), Spam("s10")};
    c.second = {{"h2", "x4", "h6", "x9"}, Subjects({"s7", "s5", "s3", "s1", "s10", "s8"}, "offer"),
                "x9", 1, 2};
    cases.push_back(c);
  }
  // Every status line split in two at each offset: read whole every time.
  for (int offset = 1; offset <= 12; ++offset) {
    HostileCase c;
    c.what = "status lines split at offset " + std::to_string(offset);
    c.mail = {Spam("s1"), Ham("h2"), Spam("s3")};
    c.faults.split_at = offset;
    c.first = {{"h2"}, Subjects({"s3", "s1"}, "offer"), "h2", -2, 2};
    cases.push_back(c);
  }
  // 700 bytes of garbage for LIST 4: the session ends at once, without
  // another command, so the server undoes the DELE of message 6 and the
  // log says nothing.
  {
    HostileCase c;
    c.what = "garbage LIST";
    c.mail = {Spam("s1"), Ham("h2"), Spam("s3"), Spam("s4"), Ham("h5"), Spam("s6")};
    c.faults.garbage_list = {4};
    c.first = {{"s1", "h2", "s3", "s4", "h5", "s6"}, {}, "", -1, 0};
    c.last_command = "LIST 4";
    cases.push_back(c);
  }
  // Refused deletions are kept messages, and the marker stays below them so
  // the next check judges them again; once the server lets go, they go.
  {
    HostileCase c;
    c.what = "DELE -ERR";
    c.mail = {Ham("h1"), Spam("s2"), Ham("h3"), Spam("s4")};
    c.faults.refuse_dele = true;
    c.first = {{"h1", "s2", "h3", "s4"}, {}, "h1", -2, 0};
    c.again = true;
    c.second = {{"h1", "h3"}, Subjects({"s4", "s2"}, "offer"), "h3", 1, 2};
    cases.push_back(c);
  }
  // Silence before the greeting, and a greeting a byte every 10 s: the
  // account is given up after the reply deadline, and no QUIT is awaited.
  {
    HostileCase c;
    c.what = "silence before the greeting";
    c.mail = {Spam("s1"), Ham("h2")};
    c.faults.silent_greeting = true;
    c.first = {{"s1", "h2"}, {}, "", -1, 0};
    c.held_at_most = kWorstCaseMs;
    cases.push_back(c);
  }
  {
    HostileCase c;
    c.what = "a greeting byte every 10 s";
    c.mail = {Spam("s1"), Ham("h2")};
    c.faults.drip_ms = kTenSecondsReal;
    c.first = {{"s1", "h2"}, {}, "", -1, 0};
    c.held_at_most = kWorstCaseMs;
    cases.push_back(c);
  }
  // The spam was deleted, then the TOP of the next message drips: the
  // deadline ends the session without QUIT, the server keeps the spam, the
  // log has nothing and the marker does not move.
  {
    HostileCase c;
    c.what = "a TOP byte every 10 s after a deletion";
    c.mail = {Spam("s1"), Ham("h2"), Spam("s3")};
    c.faults.drip_ms = kTenSecondsReal;
    c.faults.drip_from = "TOP 2 150";
    c.marker_before = "h0";
    c.first = {{"s1", "h2", "s3"}, {}, "h0", -1, 0};
    c.held_at_most = kWorstCaseMs;
    c.last_command = "TOP 2 150";
    cases.push_back(c);
  }
  // Short replies a byte every 10 s each complete inside their deadline;
  // the account's own time (5 min until a message has been examined) ends
  // the session, without QUIT.
  {
    HostileCase c;
    c.what = "every reply a byte every 10 s from STAT on";
    c.mail = {Spam("s1"), Ham("h2"), Spam("s3")};
    c.faults.drip_ms = kTenSecondsReal;
    c.faults.drip_from = "STAT";
    c.first = {{"s1", "h2", "s3"}, {}, "", -1, 0};
    c.held_at_most = kAccountBaseMs + platform::kConnectTimeoutMs;
    cases.push_back(c);
  }
  // STAT claims 2^40 messages: the walk starts at the newest, number 2^40,
  // and goes down to the marked message.
  {
    HostileCase c;
    c.what = "STAT 2^40";
    c.mail = {Ham("h1"), Spam("s2"), Ham("h3"), Spam("s4")};
    c.faults.stat_count = int64_t{1} << 40;
    c.marker_before = "h1";
    c.first = {{"h1", "h3"}, Subjects({"s4", "s2"}, "offer"), "h3", 1, 2};
    cases.push_back(c);
  }
  return cases;
}

void ExpectAfter(const Machine& machine, const FakeMailboxServer& server, const After& after,
                 const std::string& what) {
  EXPECT_EQ(server.HeldUidls(), after.held) << what;
  EXPECT_EQ(machine.Logged(), after.logged) << what;
  EXPECT_EQ(machine.Marker(), after.marker) << what;
  EXPECT_EQ(machine.counters().account_results[0], after.result) << what;
  EXPECT_EQ(machine.counters().deleted, after.deleted) << what;
}

TEST(CheckCycleHostileTest, ServerLogAndMarkerAgreeUnderEachFault) {
  for (const HostileCase& c : HostileCases()) {
    SCOPED_TRACE(c.what);
    const int lapse = c.held_at_most != 0 ? kMeasuredLapse : kLapse;
    test::TimeLapseClock clock(lapse);
    test::ScopedClock scoped_clock(clock);
    FakeMailboxServer server(c.mail, c.faults);
    Machine machine(server.HostAndPort(), lapse);
    if (!c.marker_before.empty()) machine.WriteMarker(c.marker_before);

    const uint64_t held_ms = machine.Check();
    ExpectAfter(machine, server, c.first, c.what);
    const auto sessions = server.Sessions();
    ASSERT_FALSE(sessions.empty());
    if (c.first.result != StoredValue(POP_OK) && c.first.result != kAlreadySeenCode) {
      // Nothing was committed, so nothing may have been said after the
      // failure: no QUIT.
      for (const std::string& line : sessions[0]) {
        EXPECT_NE(line, "QUIT");
      }
    } else {
      ASSERT_FALSE(sessions[0].empty());
      EXPECT_EQ(sessions[0].back(), "QUIT");
    }
    if (!c.last_command.empty()) {
      ASSERT_FALSE(sessions[0].empty());
      EXPECT_EQ(sessions[0].back(), c.last_command);
    }
    if (c.held_at_most != 0) {  // the worst case we name, held
      EXPECT_GE(held_ms, static_cast<uint64_t>(kReplyDeadlineMs));
      EXPECT_LE(held_ms, c.held_at_most);
    }

    if (c.again) {
      for (const FakeMail& mail : c.arrived) server.Add(mail);
      server.SetFaults(c.faults_again);
      machine.Check();
      ExpectAfter(machine, server, c.second, c.what + ", the next check");
    }
  }
}

// A server that answers every reply, but each 30 s late, never misses a
// reply's deadline; the account's own time (5 min, and 10 s per message
// examined) ends it. The walk stops between messages, while QUIT can still
// commit, so what was deleted stays deleted and is logged; the marker stays,
// as the walk did not get through.
TEST(CheckCycleHostileTest, EveryReplyLateStillEndsWithinTheAccountsTime) {
  // Slower motion than the table's: each reply 300 ms late in real time,
  // so that scheduling jitter cannot change which message the walk stops at.
  constexpr int kSlowerLapse = 100;
  test::TimeLapseClock clock(kSlowerLapse);
  test::ScopedClock scoped_clock(clock);
  MailboxFaults faults;
  faults.reply_delay_ms = 30000 / kSlowerLapse;
  std::vector<FakeMail> mail;
  for (int i = 1; i <= 8; ++i) {
    const std::string number = std::to_string(i);
    mail.push_back(i % 2 ? Ham("h" + number) : Spam("s" + number));
  }
  FakeMailboxServer server(mail, faults);
  Machine machine(server.HostAndPort(), kSlowerLapse);
  machine.WriteMarker("h0");

  const uint64_t held_ms = machine.Check();
  // Greeting, APOP and STAT take 90 s, message 8 two minutes more; the
  // 100 s then left are less than two such messages, so QUIT follows.
  EXPECT_LE(held_ms, static_cast<uint64_t>(kAccountBaseMs + kAccountPerMessageMs));
  const auto sessions = server.Sessions();
  ASSERT_EQ(sessions.size(), 1u);
  EXPECT_EQ(sessions[0].back(), "QUIT");
  EXPECT_EQ(server.HeldUidls(), (Uidls{"h1", "s2", "h3", "s4", "h5", "s6", "h7"}));
  EXPECT_EQ(machine.Logged(), Subjects({"s8"}, "offer"));
  EXPECT_EQ(machine.Marker(), "h0");
  EXPECT_EQ(machine.counters().account_results[0], StoredValue(POP_TIMED_OUT));
}

// zvrxctl check says what the server did, and fails (status 1) when an
// account's session was not committed: no "deleted" for mail the server
// kept.
TEST(CheckCycleHostileTest, ZvrxctlReportsWhatTheServerCommitted) {
  struct Case {
    const char* what;
    std::vector<FakeMail> mail;
    MailboxFaults faults;
    int status;
    std::vector<std::string> says;
    Uidls held;
    size_t logged;
  } cases[] = {
      {"oversized TOP",
       {Spam("s1"), Huge("x2"), Spam("s3")},
       {},
       0,
       {"account 1: examined 3, kept 1, deleted 2\n", "total: examined 3, kept 1, deleted 2\n"},
       {"x2"},
       2},
      {"garbage LIST",
       {Spam("s1"), Ham("h2"), Spam("s3")},
       {},  // LIST 1 is garbage
       1,
       {"account 1: examined 2, kept 1, deleted 0 (the check failed: the server's reply was not "
        "a POP3 reply; nothing was deleted, the server keeps every message)\n",
        "total: examined 2, kept 1, deleted 0\n"},
       {"s1", "h2", "s3"},
       0},
      {"DELE -ERR",
       {Ham("h1"), Spam("s2")},
       {},  // every DELE refused
       0,
       {"message 2: the server refused to delete it; kept, to be judged again\n",
        "account 1: examined 2, kept 2, deleted 0 (the server refused to delete 1)\n"},
       {"h1", "s2"},
       0},
  };
  cases[1].faults.garbage_list = {1};
  cases[2].faults.refuse_dele = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeMailboxServer server(c.mail, c.faults);
    test::TempPrefix prefix;
    auto ctl = [&](std::vector<std::string> args) {
      return test::RunZvrxctl(prefix.path(), std::move(args), {});
    };
    ASSERT_EQ(ctl({"init"}).status, 0);
    ASSERT_EQ(ctl({"level", "0"}).status, 0);
    ASSERT_EQ(ctl({"reject", "add", "spam@bad.example"}).status, 0);
    ASSERT_EQ(ctl({"account", "1", "taro@" + server.HostAndPort(), "pw"}).status, 0);
    test::ProgramRun run = ctl({"check"});
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    for (const std::string& text : c.says) {
      EXPECT_NE(run.out.find(text), std::string::npos) << text << "\n" << run.out;
    }
    EXPECT_EQ(server.HeldUidls(), c.held);
    EXPECT_EQ(LoggedSubjects(test::ReadHostFile(prefix.DataFolderHost() + "/ZVRXLog")).size(),
              c.logged);
  }
}

}  // namespace
}  // namespace zvrx
