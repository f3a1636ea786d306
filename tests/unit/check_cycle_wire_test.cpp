// The check cycle as seen on the wire, against a scripted server: newest
// message first, LIST, UIDL and TOP for each, DELE for a rejected message
// before the next one is fetched, and the walk ending at the last-seen
// message without judging it; a lost connection ends the walk, the next
// account follows.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "checker/analysis/marker.h"
#include "checker/core/check_cycle.h"
#include "checker/core/checker_state.h"
#include "checker/core/configuration.h"
#include "platform/cp932.h"
#include "shared/record_files.h"
#include "shared/records.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_pop3_server.h"
#include "tests/support/fake_stream.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

using test::ExpectLine;
using test::FakePop3Script;
using test::SendBytes;

std::string Top(const std::string& from, const std::string& subject) {
  return "+OK\r\nFrom: " + from + "\r\nSubject: " + subject +
         "\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nHello.\r\n.\r\n";
}

// The replies for one message: LIST, UIDL, TOP.
void AddFetch(FakePop3Script& script, int n, const std::string& uidl, const std::string& top) {
  const std::string number = std::to_string(n);
  for (const std::string& reply :
       {"+OK " + number + " 900\r\n", "+OK " + number + " " + uidl + "\r\n", top}) {
    script.push_back(ExpectLine());
    script.push_back(SendBytes(reply));
  }
}

FakePop3Script LoggedIn(int count) {
  return {SendBytes("+OK ready\r\n"),
          ExpectLine(), SendBytes("+OK\r\n"),  // USER
          ExpectLine(), SendBytes("+OK\r\n"),  // PASS
          ExpectLine(), SendBytes("+OK " + std::to_string(count) + " 4500\r\n")};  // STAT
}

class CheckCycleWireTest : public ::testing::Test {
 protected:
  void Configure(const std::vector<std::string>& accounts) {
    BasicSettings basic{};
    basic.check_mode = 1;
    basic.inspection_level = 0;  // by the rejection list
    for (size_t i = 0; i < accounts.size(); ++i) {
      std::strcpy(basic.accounts[i], accounts[i].c_str());
      std::strcpy(basic.passwords[i], "pw");
      basic.account_mask |= static_cast<uint16_t>(1u << i);
    }
    ASSERT_TRUE(SaveBasicSettings(basic));
    test::WriteHostFile(prefix_.DataFolderHost() + "/ZVRXBlackList", "spam@bad.example\r\n");
    // The order of commands as the system has it: no copy retrieved first
    // (check_cycle_kept_test covers the copies), and no CAPA before the login.
    test::WriteHostFile(prefix_.DataFolderHost() + "/ZVRXExt.ini",
                        "keep_deleted = off\ntls1 = plain\ntls2 = plain\ntls3 = plain\n");
    ASSERT_TRUE(LoadConfiguration(state_));
    for (int16_t& apop : state_.apop_state) apop = -1;  // USER and PASS straight away
  }

  void WriteMarker(const std::string& account, const std::string& uidl) {
    MarkerRecord marker{};
    std::strcpy(marker.uidl, uidl.c_str());
    test::WriteHostFile(
        prefix_.DataFolderHost() + "/" + platform::Cp932ToUtf8(MarkerFileName(account)),
        std::string(reinterpret_cast<const char*>(&marker), sizeof marker));
  }

  test::TempPrefix prefix_;
  test::FakeClock clock_;
  test::ScopedClock scoped_clock_{clock_};
  CheckerState state_;
};

// Five messages, the newest two new: LIST, UIDL and TOP for 5, 4 and 3;
// the rejected 5 is deleted before 4 is fetched; 3 is the marked message,
// not judged, and ends the walk with result 1.
TEST_F(CheckCycleWireTest, NewestFirstDeleteAtOnceStopAtMarker) {
  FakePop3Script script = LoggedIn(5);
  AddFetch(script, 5, "uid5", Top("spam@bad.example", "offer"));
  script.push_back(ExpectLine());  // DELE 5
  script.push_back(SendBytes("+OK\r\n"));
  AddFetch(script, 4, "uid4", Top("friend@good.example", "lunch"));
  AddFetch(script, 3, "uid3", Top("friend@good.example", "earlier"));
  script.push_back(ExpectLine());  // QUIT
  script.push_back(SendBytes("+OK\r\n"));
  test::FakePop3Server server({script});
  const std::string account = "taro@" + server.HostAndPort();
  Configure({account});
  WriteMarker(account, "uid3");

  const uint64_t slept_before = clock_.TotalSlept();
  RunCheck(state_);
  EXPECT_EQ(server.Lines(),
            (std::vector<std::vector<std::string>>{
                {"USER taro", "PASS pw", "STAT", "LIST 5", "UIDL 5", "TOP 5 150", "DELE 5",
                 "LIST 4", "UIDL 4", "TOP 4 150", "LIST 3", "UIDL 3", "TOP 3 150", "QUIT"}}));
  EXPECT_EQ(state_.counters.examined, 2);
  EXPECT_EQ(state_.counters.deleted, 1);
  EXPECT_EQ(state_.counters.kept, 1);
  EXPECT_EQ(state_.counters.account_results[0], 1);
  // The PASS wait and a 100 ms pause after each judged message.
  EXPECT_EQ(clock_.TotalSlept() - slept_before, 1000u + 2 * kPauseAfterMessageMs);
  // The new marker is the newest kept message.
  MarkerWalk walk;
  BeginMarkerWalk(walk, account);
  EXPECT_STREQ(walk.old_marker.uidl, "uid4");
}

// A connection lost in the middle of a walk ends that walk with a failure
// code; the next account is still checked.
TEST_F(CheckCycleWireTest, LostConnectionEndsOnlyThatWalk) {
  FakePop3Script broken = LoggedIn(2);
  AddFetch(broken, 2, "a2", Top("friend@good.example", "one"));
  broken.push_back(ExpectLine());  // LIST 1, then the line goes dead
  FakePop3Script second = LoggedIn(1);
  AddFetch(second, 1, "b1", Top("spam@bad.example", "two"));
  second.push_back(ExpectLine());  // DELE 1
  second.push_back(SendBytes("+OK\r\n"));
  second.push_back(ExpectLine());  // QUIT
  second.push_back(SendBytes("+OK\r\n"));
  test::FakePop3Server server({broken, second});
  Configure({"taro@" + server.HostAndPort(), "jiro@" + server.HostAndPort()});

  RunCheck(state_);
  const auto lines = server.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].back(), "LIST 1");
  EXPECT_EQ(lines[1].back(), "QUIT");
  EXPECT_NE(state_.counters.account_results[0], -2);
  EXPECT_NE(state_.counters.account_results[0], 1);
  EXPECT_EQ(state_.counters.account_results[1], -2);
  EXPECT_EQ(state_.counters.examined, 2);
  EXPECT_EQ(state_.counters.deleted, 1);
}

// A mailbox larger than one walk may examine: STAT's count is the newest
// message, the walk examines the newest 32767 from there down, and the
// marker stays where it was, as older mail was left unexamined.
TEST_F(CheckCycleWireTest, WalkExaminesAtMostTheLimitFromTheNewest) {
  constexpr int kCount = 40000;
  test::FakeStreamFactory factory;
  auto script = factory.Add();
  script->Reply("+OK ready\r\n").Reply("+OK\r\n").Reply("+OK\r\n");
  script->Reply("+OK " + std::to_string(kCount) + " 0\r\n");
  for (int n = kCount; n > kCount - kWalkLimit; --n) {
    const std::string number = std::to_string(n);
    script->Reply("+OK " + number + " 900\r\n").Reply("+OK " + number + " u" + number + "\r\n");
    script->Reply(Top("friend@good.example", "note " + number));
  }
  script->Reply("+OK\r\n");  // QUIT
  const std::string account = "taro@pop.example.jp";
  Configure({account});
  state_.connection.make_stream = std::ref(factory);
  WriteMarker(account, "u1");

  RunCheck(state_);
  EXPECT_EQ(state_.counters.examined, kWalkLimit);
  EXPECT_EQ(state_.counters.kept, kWalkLimit);
  EXPECT_EQ(state_.counters.account_results[0], -2);
  const std::vector<std::string>& sends = script->sends;
  ASSERT_GE(sends.size(), 6u);
  EXPECT_EQ(sends[3], "LIST 40000\r\n");
  EXPECT_EQ(sends[sends.size() - 2], "TOP " + std::to_string(kCount - kWalkLimit + 1) + " 150\r\n");
  EXPECT_EQ(sends.back(), "QUIT\r\n");
  MarkerWalk walk;
  BeginMarkerWalk(walk, account);
  EXPECT_STREQ(walk.old_marker.uidl, "u1");
}

}  // namespace
}  // namespace zvrx
