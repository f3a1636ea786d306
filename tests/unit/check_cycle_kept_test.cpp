// Whole checks that keep a copy of each message before deleting it, against
// a server with a real mailbox behind it: the copy holds the server's bytes,
// and whenever no copy could be kept (RETR refused or cut off, a full disk,
// a message over the size limit) the message stays on the server, the work
// log says so in a note that is no deletion entry, and the next check judges
// it again. A session the server did not commit leaves no copy; a dry run
// and a check with keeping off send no RETR at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "checker/core/check_cycle.h"
#include "checker/core/checker_state.h"
#include "checker/core/configuration.h"
#include "platform/cp932.h"
#include "platform/files.h"
#include "shared/kept_copies.h"
#include "shared/record_files.h"
#include "shared/records.h"
#include "tests/support/fake_clock.h"
#include "tests/support/checker_machine.h"
#include "tests/support/fake_mailbox_server.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/temp_prefix.h"
#include "tests/support/time_lapse.h"

namespace zvrx {
namespace {

using test::FakeMail;
using test::FakeMailboxServer;
using test::MailboxFaults;
using Uidls = std::vector<std::string>;

// Slow enough motion that the disk's real time for copies (fsync on a busy
// machine) stays small against the account's 5 minutes; no row waits out a
// deadline but the last test, which has its own.
constexpr int kLapse = 10;

FakeMail Spam(const std::string& uidl, const std::string& body = "Cheap watches.\r\n") {
  return {uidl, test::MailText({"From: spam@bad.example", "Subject: offer " + uidl,
                                "Message-Id: <" + uidl + "@bad.example>"},
                               body)};
}
FakeMail Ham(const std::string& uidl) {
  return {uidl, test::MailText({"From: friend@good.example", "Subject: note " + uidl},
                               "See you at lunch.\r\n")};
}

// A body with lines a POP3 server must dot-stuff, and 8-bit text.
const std::string kDottedBody =
    ".hidden line\r\n..two dots\r\n.\r\nend \x82\xa0\x82\xa2\r\n";

class KeptMachine : public test::ListJudgedMachine {
 public:
  explicit KeptMachine(const std::string& host)
      : ListJudgedMachine(host, kLapse, "tls1 = plain\n") {}

  // The written POP3 (no CAPA before the login) and the keeping settings.
  void Settings(const std::string& ini) {
    test::WriteHostFile(prefix_.DataFolderHost() + "/ZVRXExt.ini", "tls1 = plain\n" + ini);
  }
  void Check(bool dry_run = false) { RunCheck(state_, CheckRun{.dry_run = dry_run}); }

  // Deletion entries (a first line starting with a digit) and notes (a
  // first line starting with a blank and a stamp).
  int Count(bool notes) const {
    const std::string log = Log();
    int count = 0;
    for (size_t at = 0; at < log.size(); at = log.find('\n', at) + 1) {
      const char c = log[at];
      if (notes ? (c == ' ' && at + 1 < log.size() && log[at + 1] >= '0' && log[at + 1] <= '9')
                : (c >= '0' && c <= '9')) {
        ++count;
      }
      if (log.find('\n', at) == std::string::npos) break;
    }
    return count;
  }
  std::vector<std::string> Copies() const {
    std::vector<std::string> texts;
    for (const KeptCopy& copy : ListKeptCopies()) {
      auto bytes = ReadKeptCopy(copy);
      texts.emplace_back(bytes->begin(), bytes->end());
    }
    return texts;
  }
  // Every file in the Kept folder: nothing half-written may stay behind.
  size_t FilesInKept() const { return platform::ListFolder(KeptFolder() + "*.*").size(); }
};

// The commands of a session with the given verb, in order.
std::vector<std::string> Commands(const std::vector<std::string>& session,
                                  const std::vector<std::string>& verbs) {
  std::vector<std::string> picked;
  for (const std::string& line : session) {
    for (const std::string& verb : verbs) {
      if (line.rfind(verb, 0) == 0) picked.push_back(line);
    }
  }
  return picked;
}

TEST(CheckCycleKeptTest, EachDeletionHasItsCopyOrTheMessageStays) {
  const std::string big_body(3000, 'b');
  struct Case {
    std::string what;
    std::vector<FakeMail> mail;  // oldest first
    MailboxFaults faults;
    std::string ini;             // keeping settings; empty: none (keeping on)
    size_t file_size_limit = 0;  // a full disk past this many bytes
    Uidls held;
    std::vector<std::string> copies;  // oldest first
    int entries, notes;
    std::vector<std::string> wire;  // RETR, DELE and QUIT commands
    bool committed;
    Uidls held_after_second;  // a second check without faults
  };
  const FakeMail s2 = Spam("s2", kDottedBody);
  const FakeMail s3 = Spam("s3");
  const FakeMail large = Spam("L3", std::string(1200 * 1024, 'x') + "\r\n");
  const FakeMail b2 = Spam("b2", big_body + "\r\n");
  const FakeMail b3 = Spam("b3", big_body + "\r\n");
  std::vector<Case> cases = {
      {"every copy kept before its deletion",
       {Ham("h1"), s2, s3}, {}, "", 0,
       {"h1"}, {s3.text, s2.text}, 2, 0,
       {"RETR 3", "DELE 3", "RETR 2", "DELE 2", "QUIT"}, true, {"h1"}},
      {"RETR refused: nothing deleted, a note each",
       {Ham("h1"), s2, s3}, {}, "", 0,
       {"h1", "s2", "s3"}, {}, 0, 2,
       {"RETR 3", "RETR 2", "QUIT"}, true, {"h1"}},
      {"the connection drops during RETR: no QUIT, nothing deleted",
       {Ham("h1"), s2, s3}, {}, "", 0,
       {"h1", "s2", "s3"}, {}, 0, 0,
       {"RETR 3"}, false, {"h1"}},
      {"a full disk: nothing deleted, a note each",
       {Ham("h1"), b2, b3}, {}, "", 2000,
       {"h1", "b2", "b3"}, {}, 0, 2,
       {"RETR 3", "RETR 2", "QUIT"}, true, {"h1"}},
      {"over the size limit: kept on the server, not even retrieved",
       {Ham("h1"), s2, large}, {}, "keep_size_mb = 1\n", 0,
       {"h1", "L3"}, {s2.text}, 1, 1,
       {"RETR 2", "DELE 2", "QUIT"}, true, {"h1", "L3"}},
      {"keeping off: the written order, no copies",
       {Ham("h1"), s2, s3}, {}, "keep_deleted = off\n", 0,
       {"h1"}, {}, 2, 0,
       {"DELE 3", "DELE 2", "QUIT"}, true, {"h1"}},
  };
  cases[1].faults.refuse_retr = true;
  cases[2].faults.close_in_retr = true;

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TimeLapseClock clock(kLapse);
    test::ScopedClock scoped_clock(clock);
    FakeMailboxServer server(c.mail, c.faults);
    KeptMachine machine(server.HostAndPort());
    if (!c.ini.empty()) machine.Settings(c.ini);
    {
      std::unique_ptr<test::FileSizeLimit> full_disk;
      if (c.file_size_limit != 0) {
        full_disk = std::make_unique<test::FileSizeLimit>(c.file_size_limit);
      }
      machine.Check();
    }
    EXPECT_EQ(server.HeldUidls(), c.held);
    EXPECT_EQ(machine.Copies(), c.copies);
    EXPECT_EQ(machine.Count(false), c.entries);
    EXPECT_EQ(machine.Count(true), c.notes);
    EXPECT_EQ(machine.counters().deleted, c.entries);
    // Copies and their index files, nothing else.
    EXPECT_EQ(machine.FilesInKept(), 2 * c.copies.size());
    const auto sessions = server.Sessions();
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(Commands(sessions[0], {"RETR", "DELE", "QUIT"}), c.wire);
    const int16_t result = machine.counters().account_results[0];
    EXPECT_EQ(result == StoredValue(POP_OK), c.committed) << result;
    if (c.notes > 0) {
      EXPECT_NE(machine.Log().find(platform::Utf8ToCp932("を削除せずサーバに残しました")),
                std::string::npos);
    }

    // The mail that stayed is judged again and, with the fault gone, kept
    // and deleted.
    server.SetFaults({});
    machine.Check();
    EXPECT_EQ(server.HeldUidls(), c.held_after_second);
    if (c.ini.empty()) {
      EXPECT_EQ(machine.Copies().size(), c.mail.size() - c.held_after_second.size());
    }
  }
}

// A dry run retrieves and keeps nothing.
TEST(CheckCycleKeptTest, ADryRunKeepsNothing) {
  test::TimeLapseClock clock(kLapse);
  test::ScopedClock scoped_clock(clock);
  FakeMailboxServer server({Ham("h1"), Spam("s2")});
  KeptMachine machine(server.HostAndPort());
  machine.Check(/*dry_run=*/true);
  EXPECT_EQ(server.HeldUidls(), (Uidls{"h1", "s2"}));
  EXPECT_EQ(machine.FilesInKept(), 0u);
  EXPECT_TRUE(Commands(server.Sessions()[0], {"RETR", "DELE"}).empty());
}

// The spam was retrieved, kept and deleted, then the session broke before
// QUIT: the server keeps the message, so its copy is dropped, and the next
// check keeps and deletes it afresh.
TEST(CheckCycleKeptTest, ACopyWhoseDeletionWasNotCommittedIsDropped) {
  constexpr int kSlow = 200;
  test::TimeLapseClock clock(kSlow);
  test::ScopedClock scoped_clock(clock);
  MailboxFaults faults;
  faults.drip_ms = 10000 / kSlow;
  faults.drip_from = "TOP 1 150";
  const FakeMail spam = Spam("s2");
  FakeMailboxServer server({Ham("h1"), spam}, faults);
  KeptMachine machine(server.HostAndPort());
  machine.Check();
  const auto first = server.Sessions()[0];
  EXPECT_EQ(Commands(first, {"RETR", "DELE", "QUIT"}), (std::vector<std::string>{"RETR 2", "DELE 2"}));
  EXPECT_EQ(server.HeldUidls(), (Uidls{"h1", "s2"}));
  EXPECT_EQ(machine.FilesInKept(), 0u);
  EXPECT_EQ(machine.Count(false), 0);

  server.SetFaults({});
  machine.Check();
  EXPECT_EQ(server.HeldUidls(), (Uidls{"h1"}));
  EXPECT_EQ(machine.Copies(), (std::vector<std::string>{spam.text}));
}

// The setting is read afresh at every check: the same checker switches at
// its next check, without being told.
TEST(CheckCycleKeptTest, TheSettingIsTakenOverAtTheNextCheck) {
  test::TimeLapseClock clock(kLapse);
  test::ScopedClock scoped_clock(clock);
  FakeMailboxServer server({Ham("h1"), Spam("s2")});
  KeptMachine machine(server.HostAndPort());
  machine.Settings("keep_deleted = off\n");
  machine.Check();
  EXPECT_EQ(server.HeldUidls(), (Uidls{"h1"}));
  EXPECT_EQ(machine.FilesInKept(), 0u);

  const FakeMail later = Spam("s3");
  server.Add(later);
  machine.Settings("keep_deleted = on\n");
  machine.Check();
  EXPECT_EQ(server.HeldUidls(), (Uidls{"h1"}));
  EXPECT_EQ(machine.Copies(), (std::vector<std::string>{later.text}));
  const auto sessions = server.Sessions();
  ASSERT_EQ(sessions.size(), 2u);
  EXPECT_TRUE(Commands(sessions[0], {"RETR"}).empty());
  EXPECT_EQ(Commands(sessions[1], {"RETR"}), (std::vector<std::string>{"RETR 2"}));
}

}  // namespace
}  // namespace zvrx
