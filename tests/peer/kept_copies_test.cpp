// Kept copies against a real Dovecot, through zvrxctl as a real process: the
// copy of each deleted message equals the message as the server stored it,
// `zvrxctl kept` lists it and `zvrxctl restore` gives it back byte for byte
// (as .eml files and as mbox entries); a full disk and a message over the
// size limit leave the mail on the server; a checker killed in the middle
// of a check leaves no copy listed and nothing deleted.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/cp932.h"
#include "tests/support/dovecot_fixture.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/mbox_reader.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_prefix.h"
#include "tests/support/wait_until.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;
using test::DovecotServer;

// Our own messages, CR LF line ends: rejected ones come from
// offers@bargain.example.
std::string Mail(const std::string& from, const std::string& subject, const std::string& body) {
  return "From: " + from + "\r\nTo: taro@example.jp\r\nSubject: " + subject +
         "\r\nMessage-Id: <" + subject + "@mail.example>\r\nMIME-Version: 1.0\r\n"
         "Content-Type: text/plain; charset=ISO-2022-JP\r\n\r\n" + body;
}
const std::string kSpammer = "Bargain Desk <offers@bargain.example>";
const std::string kFriend = "Hanako <hanako@example.ne.jp>";

std::vector<std::string> Mailbox() {
  return {
      Mail(kFriend, "lunch", "Lunch at noon?\r\n"),
      // Lines the server dot-stuffs, a line that looks like an mbox
      // separator, JIS escapes and a line with only a dot.
      Mail(kSpammer, "watch-sale",
           "\x1b$B%;!<%k\x1b(B\r\n.\r\n..and more\r\nFrom the desk of our manager\r\n"
           ">From quoted\r\n.\r\nEnd.\r\n"),
      Mail(kFriend, "minutes", "The minutes are attached.\r\n"),
      Mail(kSpammer, "points", "Your points expire today.\r\n\r\n\r\n"),
  };
}

class KeptCopiesPeerTest : public ::testing::Test {
 protected:
  void StartWith(const std::vector<std::string>& messages) {
    ASSERT_TRUE(server_.Start({{"taro", "taro-pw", messages}})) << server_.error();
    ASSERT_EQ(Ctl({"init"}).status, 0);
    ASSERT_EQ(Ctl({"level", "0"}).status, 0);
    ASSERT_EQ(Ctl({"reject", "add", "offers@bargain.example"}).status, 0);
    ASSERT_EQ(Ctl({"account", "1", server_.Account("taro"), "taro-pw"}).status, 0);
  }
  void TearDown() override {
    if (HasFailure()) std::cerr << "Dovecot log:\n" << server_.Log();
  }
  test::ProgramRun Ctl(std::vector<std::string> args) {
    return test::RunZvrxctl(prefix_.path(), std::move(args), prefix_.path());
  }
  std::string KeptHost() const { return prefix_.DataFolderHost() + "/Kept"; }
  std::vector<std::string> KeptFiles(const std::string& suffix) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(KeptHost(), ec)) {
      const std::string name = entry.path().filename().string();
      if (name.size() >= suffix.size() && name.substr(name.size() - suffix.size()) == suffix) {
        names.push_back(name);
      }
    }
    return names;
  }
  std::string Log() const { return test::ReadHostFile(prefix_.DataFolderHost() + "/ZVRXLog"); }

  test::TempPrefix prefix_;
  DovecotServer server_;
};

TEST_F(KeptCopiesPeerTest, CopiesEqualTheServersBytesAndRestoreGivesThemBack) {
  const std::vector<std::string> mailbox = Mailbox();
  StartWith(mailbox);
  const std::vector<std::string> stored = server_.RemainingMessages("taro");
  ASSERT_EQ(stored.size(), 4u);

  test::ProgramRun check = Ctl({"check"});
  ASSERT_EQ(check.status, 0) << check.out << check.err;
  EXPECT_NE(check.out.find("account 1: examined 4, kept 2, deleted 2"), std::string::npos)
      << check.out;
  EXPECT_EQ(server_.RemainingMessages("taro"), (std::vector<std::string>{stored[0], stored[2]}));

  // Newest first on the server, so message 4 was kept first.
  test::ProgramRun kept = Ctl({"kept"});
  ASSERT_EQ(kept.status, 0) << kept.err;
  EXPECT_NE(kept.out.find("1\t"), std::string::npos);
  EXPECT_NE(kept.out.find("\tFrom: " + kSpammer + "\tSubject: points\t" +
                          std::to_string(stored[3].size()) + " bytes\t"),
            std::string::npos)
      << kept.out;
  EXPECT_NE(kept.out.find("2\t"), std::string::npos);
  EXPECT_NE(kept.out.find("\tSubject: watch-sale\t" + std::to_string(stored[1].size()) + " bytes"),
            std::string::npos)
      << kept.out;
  EXPECT_NE(kept.out.find("受信拒否"), std::string::npos) << kept.out;

  // As .eml files: byte for byte what the server held.
  const std::string folder = prefix_.path() + "/restored";
  fs::create_directory(folder);
  test::ProgramRun restore = Ctl({"restore", "1", "2", "--to", folder});
  ASSERT_EQ(restore.status, 0) << restore.err;
  std::vector<std::string> restored;
  for (const auto& entry : fs::directory_iterator(folder)) {
    restored.push_back(entry.path().string());
  }
  std::sort(restored.begin(), restored.end());
  ASSERT_EQ(restored.size(), 2u);
  EXPECT_EQ(test::ReadHostFile(restored[0]), stored[3]);
  EXPECT_EQ(test::ReadHostFile(restored[1]), stored[1]);
  // An existing file is never overwritten.
  test::ProgramRun again = Ctl({"restore", "1", "--to", folder});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(test::ReadHostFile(restored[0]), stored[3]);

  // As mbox entries appended to a file that already holds one.
  const std::string mbox = prefix_.path() + "/restored.mbox";
  const std::string earlier = "From someone Mon Dec  7 10:00:00 2026\nSubject: older\n\nhi\n";
  test::WriteHostFile(mbox, earlier);
  ASSERT_EQ(Ctl({"restore", "2", "1", "--mbox", mbox}).status, 0);
  const std::vector<std::string> entries = test::ReadMbox(test::ReadHostFile(mbox));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[1], stored[1]);
  EXPECT_EQ(entries[2], stored[3]);

  // Bad requests write nothing.
  EXPECT_EQ(Ctl({"restore", "3", "--to", folder}).status, 2);
  EXPECT_EQ(Ctl({"restore", "--mbox", mbox}).status, 2);
  EXPECT_EQ(test::ReadMbox(test::ReadHostFile(mbox)).size(), 3u);
}

// With keeping switched off the check is the written one: no copies, and
// `show` says so.
TEST_F(KeptCopiesPeerTest, KeepOffKeepsNothing) {
  StartWith(Mailbox());
  ASSERT_EQ(Ctl({"keep", "off"}).status, 0);
  EXPECT_EQ(Ctl({"keep", "days", "0"}).status, 2);
  EXPECT_EQ(Ctl({"keep", "size", "many"}).status, 2);
  ASSERT_EQ(Ctl({"keep", "days", "7"}).status, 0);
  EXPECT_NE(Ctl({"show"}).out.find("kept copies of deleted mail: off, 7 days, 200 MB"),
            std::string::npos);
  ASSERT_EQ(Ctl({"check"}).status, 0);
  EXPECT_EQ(server_.RemainingMessages("taro").size(), 2u);
  EXPECT_TRUE(KeptFiles("").empty());
  EXPECT_EQ(Ctl({"kept"}).out, "no kept copies\n");
}

// A full disk (writes past 20,000 bytes fail, the child inherits the limit)
// and a message over the size limit: the mail stays on the server and the
// log says why, in notes that are no deletion entries.
TEST_F(KeptCopiesPeerTest, NoCopyNoDeletion) {
  const std::string big = Mail(kSpammer, "big", std::string(40000, 'b') + "\r\n");
  std::string huge_body;
  for (int i = 0; i < 16000; ++i) huge_body += std::string(100, 'h') + "\r\n";  // 1.6 MB
  const std::string huge = Mail(kSpammer, "huge", huge_body);
  const std::string small = Mail(kSpammer, "small", "Small offer.\r\n");
  StartWith({Mail(kFriend, "lunch", "Lunch?\r\n"), big, huge, small});
  const std::vector<std::string> stored = server_.RemainingMessages("taro");

  {
    test::FileSizeLimit full_disk(20000);
    test::ProgramRun check = Ctl({"check"});
    EXPECT_EQ(check.status, 0) << check.out << check.err;
    EXPECT_NE(check.out.find("message 3: not deleted"), std::string::npos) << check.out;
  }
  // "small" fitted on the disk; neither "big" nor "huge" did.
  EXPECT_EQ(server_.RemainingMessages("taro"),
            (std::vector<std::string>{stored[0], stored[1], stored[2]}));
  EXPECT_EQ(KeptFiles(".eml").size(), 1u);
  EXPECT_TRUE(KeptFiles(".part").empty());
  EXPECT_NE(Log().find(platform::Utf8ToCp932("控えを保存できませんでした")), std::string::npos);

  // The size limit: "huge" is over 1 MB and is not even retrieved; "big"
  // now fits and goes.
  ASSERT_EQ(Ctl({"keep", "size", "1"}).status, 0);
  test::ProgramRun check = Ctl({"check"});
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  EXPECT_EQ(server_.RemainingMessages("taro"), (std::vector<std::string>{stored[0], stored[2]}));
  EXPECT_NE(Log().find(platform::Utf8ToCp932("控えを保存するには大きすぎます")), std::string::npos);
  EXPECT_EQ(KeptFiles(".eml").size(), 2u);
}

// zvrxctl check killed with SIGKILL in the middle of a walk: the server
// never got QUIT and keeps every message; no copy is listed; the next check
// removes what the killed one left and keeps and deletes the spam afresh.
TEST_F(KeptCopiesPeerTest, AKilledCheckListsNoCopyAndDeletesNothing) {
  std::vector<std::string> messages;
  for (int i = 0; i < 40; ++i) {
    messages.push_back(i % 4 == 0 ? Mail(kFriend, "note" + std::to_string(i), "Hello.\r\n")
                                  : Mail(kSpammer, "offer" + std::to_string(i), "Buy.\r\n"));
  }
  StartWith(messages);

  const std::string out_file = prefix_.path() + "/killed.out";
  test::ProcessSetup setup;
  setup.argv = {test::kZvrxctlProgram, "--prefix", prefix_.path(), "check"};
  setup.clean_environment = false;
  setup.output = out_file;
  setup.errors = prefix_.path() + "/killed.err";
  test::Process killed(setup);
  ASSERT_TRUE(killed.started());
  // Killed once a few deletions went through (each message takes 100 ms).
  test::WaitUntil(
      [&] {
        const std::string out = killed.Output();
        size_t deleting = 0;
        for (size_t at = 0; (at = out.find(": deleting", at)) != std::string::npos; ++at) {
          ++deleting;
        }
        return deleting >= 5;
      },
      30000);
  killed.Kill();
  ASSERT_TRUE(killed.Signalled()) << killed.Output();

  EXPECT_EQ(server_.RemainingMessages("taro").size(), messages.size());
  EXPECT_TRUE(KeptFiles(".eml").empty());
  EXPECT_EQ(Ctl({"kept"}).out, "no kept copies\n");
  EXPECT_EQ(Log().find("offer"), std::string::npos);  // nothing logged as deleted

  test::ProgramRun check = Ctl({"check"});
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  EXPECT_EQ(server_.RemainingMessages("taro").size(), 10u);
  EXPECT_EQ(KeptFiles(".eml").size(), 30u);
  EXPECT_TRUE(KeptFiles(".part").empty());
}

}  // namespace
}  // namespace zvrx
