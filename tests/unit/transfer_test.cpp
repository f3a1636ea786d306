// The block protocol between the checker and the settings program: the
// handshakes run between this process and a real second process
// (tests/helpers/transfer_peer), with the real waits where they are short.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/unique_fd.h"
#include "shared/records.h"
#include "shared/transfer_block.h"
#include "shared/transfer_checker.h"
#include "shared/transfer_settings.h"
#include "tests/support/fake_clock.h"
#include "tests/support/process_runner.h"
#include "tests/support/temp_prefix.h"
#include "tests/support/wait_until.h"

namespace zvrx {
namespace {

constexpr char kPeerPath[] = ZVRX_BINARY_DIR "/tests/transfer_peer";

// The peer process with its standard output on a pipe.
class Peer {
 public:
  Peer(const std::string& prefix, std::vector<std::string> args)
      : process_(Setup(prefix, std::move(args))) {}

  bool started() const { return process_.started(); }

  // The next line of output (without its newline); "" on end or time-out.
  std::string ReadLine(int timeout_ms = 30000) { return process_.ReadLine(timeout_ms); }

  // Waits for the end; the rest of the output, and the exit status.
  std::string Finish(int* status = nullptr) {
    std::string rest;
    for (std::string line = ReadLine(); !line.empty(); line = ReadLine()) rest += line + "\n";
    int code = process_.WaitForEnd();
    if (status) *status = code;
    return rest;
  }

  void Kill() { process_.Kill(); }

 private:
  static test::ProcessSetup Setup(const std::string& prefix, std::vector<std::string> args) {
    args.insert(args.begin(), {kPeerPath, prefix});
    test::ProcessSetup setup;
    setup.argv = std::move(args);
    setup.clean_environment = false;
    setup.output_on_pipe = true;
    return setup;
  }

  test::Process process_;
};

TransferHeader Header(int16_t code, int16_t p1, int16_t p2, int16_t p3, int16_t p4) {
  return TransferHeader{code, p1, p2, p3, p4};
}

TransferHeader BlockHeader(CheckerTransfer& checker) {
  TransferHeader header{};
  CopyFromBlock(checker.block->data(), 0, &header, sizeof header);
  return header;
}

std::string Text(const TransferHeader& h) {
  return std::to_string(h.code) + " " + std::to_string(h.p1) + " " + std::to_string(h.p2) + " " +
         std::to_string(h.p3) + " " + std::to_string(h.p4);
}

class TransferTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(CreateBlock(checker_)); }

  volatile uint8_t* block() { return checker_.block->data(); }

  test::TempPrefix prefix_;
  CheckerTransfer checker_;
};

TEST_F(TransferTest, CreatedBlockIsIdle) {
  EXPECT_EQ(block()[0], TRAN_IDLE);
  EXPECT_EQ(checker_.local.code, TRAN_IDLE);
}

// A delivery carries the four records; with check now the local code stays
// at 2 (the scheduler's request), otherwise it returns to idle.
TEST_F(TransferTest, DeliveryReachesChecker) {
  struct Case {
    int check_now;
    int reload_flags;
    int16_t local_code;
    ListReload reload;
  } cases[] = {
      {1, kReloadAcceptanceList | kReloadRejectionList, TRAN_SETTINGS, ListReload::kAcceptance},
      {0, kReloadRejectionList, TRAN_IDLE, ListReload::kRejection},
      {0, 0, TRAN_IDLE, ListReload::kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.check_now * 10 + c.reload_flags);
    for (int i = 1220; i < 1556; ++i) block()[i] = 0x5A;
    checker_.records = SettingsRecords{};
    checker_.records.mailer.list_reload_flags = 0x80;  // must not be taken from the block

    Peer peer(prefix_.path(), {"send-settings", std::to_string(c.check_now), "3",
                               std::to_string(c.reload_flags)});
    ASSERT_TRUE(peer.started());
    int status = -1;
    EXPECT_EQ(peer.Finish(&status), "sleeps=0 slept=0\n");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(block()[0], TRAN_SETTINGS);

    DeliveryResult result = ConsumeSettings(checker_);
    EXPECT_TRUE(result.taken);
    EXPECT_EQ(result.list_reload, c.reload);
    EXPECT_TRUE(result.languages_changed);
    EXPECT_EQ(checker_.local.code, c.local_code);
    EXPECT_EQ(checker_.local.p1, c.check_now);
    EXPECT_EQ(block()[0], TRAN_IDLE);

    const SettingsRecords& got = checker_.records;
    EXPECT_EQ(got.basic.check_mode, 3);
    EXPECT_STREQ(got.basic.accounts[0], "peer@127.0.0.1");
    EXPECT_STREQ(got.basic.passwords[0], "pw-from-peer");  // plain in the block
    EXPECT_EQ(got.basic.launch_flags, 3);                  // re-derived from options
    EXPECT_EQ(got.judgment.strictness, 1);
    EXPECT_STREQ(got.mailer.mailer_path, "Z:\\usr\\bin\\true");
    EXPECT_EQ(got.mailer.list_reload_flags, 0x80);
    for (int i = 1220; i < 1556; ++i) ASSERT_EQ(block()[i], 0x5A) << "checker byte " << i;

    // Taken once only.
    EXPECT_FALSE(ConsumeSettings(checker_).taken);
  }
}

TEST_F(TransferTest, PostIsAcknowledgedByPollAndShown) {
  Peer peer(prefix_.path(), {"poll", "1", "20000"});
  ASSERT_TRUE(peer.started());
  checker_.local = Header(TRAN_STATUS, kStatusChecking, 12, 3, 2);
  PostReport(checker_);
  EXPECT_EQ(peer.ReadLine(), "report 300 6 12 3 2");
  int status = -1;
  peer.Finish(&status);
  EXPECT_EQ(status, 0);
  // Acknowledged: code 1, the arguments as posted.
  EXPECT_EQ(Text(BlockHeader(checker_)), "1 6 12 3 2");
}

TEST_F(TransferTest, QuestionIsAnsweredYesAndNo) {
  for (bool yes : {true, false}) {
    SCOPED_TRACE(yes);
    block()[0] = TRAN_IDLE;
    Peer peer(prefix_.path(), {"question", yes ? "yes" : "no", "20000"});
    ASSERT_TRUE(peer.started());
    checker_.local = Header(kTranManualNewMail, 0, 4, 5, 1);
    PostReport(checker_);
    EXPECT_EQ(AskQuestion(checker_), yes);
    EXPECT_EQ(checker_.local.code, TRAN_ANSWER);
    EXPECT_EQ(checker_.local.p2, 1);
    EXPECT_EQ(block()[0], TRAN_ANSWER);  // left for the next poll to acknowledge
    int status = -1;
    EXPECT_EQ(peer.Finish(&status).substr(0, 16), "answered local=5");
    EXPECT_EQ(status, 0);
  }
}

// An unacknowledged checker message holds a delivery for 5 x 100 ms; then
// the delivery overwrites it.
TEST_F(TransferTest, SendSettingsOverwritesUnacknowledgedPost) {
  checker_.local = Header(TRAN_STATUS, kStatusConfirming, 9, 1, 1);
  PostReport(checker_);
  ASSERT_EQ(block()[0], TRAN_STATUS & 0xFF);
  Peer peer(prefix_.path(), {"send-settings", "1", "0", "0"});
  EXPECT_EQ(peer.Finish(), "sleeps=5 slept=500\n");
  EXPECT_EQ(Text(BlockHeader(checker_)), "2 1 0 0 0");
  EXPECT_TRUE(ConsumeSettings(checker_).taken);
  EXPECT_EQ(checker_.local.code, TRAN_SETTINGS);
}

// A question never posted (block byte 4 stays nonzero) drops the answer
// after 5 x 500 ms and 100 ms more; nothing is written.
TEST_F(TransferTest, SendAnswerDropsWhenNoQuestionAppears) {
  checker_.local = Header(TRAN_STATUS, kStatusChecking, 7, 1, 1);
  PostReport(checker_);
  Peer peer(prefix_.path(), {"send-answer", "yes"});
  EXPECT_EQ(peer.Finish(), "local=1\nsleeps=6 slept=2600\n");
  EXPECT_EQ(Text(BlockHeader(checker_)), "300 6 7 1 1");
}

// Saving settings instead of answering makes the question's answer no.
TEST_F(TransferTest, SavedSettingsAnswerTheQuestionNo) {
  std::atomic<int> answer{-1};
  std::thread asker([&] { answer = AskQuestion(checker_) ? 1 : 0; });
  // EXPECT, not ASSERT: the asker thread must still be joined.
  EXPECT_TRUE(test::WaitUntil([&] { return block()[0] == TRAN_ASK; }, 10000, 10))
      << "the question never reached the block";
  Peer peer(prefix_.path(), {"send-settings", "0", "0", "0"});
  asker.join();
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(peer.Finish(), "sleeps=5 slept=500\n");
  EXPECT_TRUE(ConsumeSettings(checker_).taken);
}

// A post never overwrites a waiting delivery; in interval modes it gives way
// to a waiting question too, while in modes 0 and 1 it waits 5 x 307 ms for
// anything else and writes anyway.
TEST_F(TransferTest, PostWhileDeliveryOrQuestionWaits) {
  struct Case {
    int16_t mode;
    uint8_t pending;
    bool dropped;
  } cases[] = {
      {0, TRAN_SETTINGS, true},  {1, TRAN_SETTINGS, true}, {2, TRAN_SETTINGS, true},
      {6, TRAN_SETTINGS, true},  {4, TRAN_ASK, true},       {0, TRAN_ASK, false},
      {3, kTranCheckComplete, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " pending " << int(c.pending));
    block()[0] = TRAN_IDLE;
    if (c.pending == TRAN_SETTINGS) {
      Peer peer(prefix_.path(), {"send-settings", "0", "0", "0"});
      peer.Finish();
    } else {
      block()[0] = c.pending;
    }
    ASSERT_EQ(block()[0], c.pending);
    test::FakeClock clock;
    test::ScopedClock scoped(clock);
    checker_.records.basic.check_mode = c.mode;
    checker_.local = Header(TRAN_STATUS, kStatusLookingUp, 0, 0, 2);
    PostReport(checker_);
    if (c.dropped) {
      EXPECT_EQ(clock.SleepCalls(), 0);
      EXPECT_EQ(block()[0], c.pending);
    } else {
      EXPECT_EQ(clock.SleepCalls(), 5);
      EXPECT_EQ(clock.TotalSlept(), 5u * 307);
      EXPECT_EQ(Text(BlockHeader(checker_)), "300 4 0 0 2");
    }
  }
}

// Nobody answers: 150 s of waiting (on a fake clock), then no. A busy block
// first costs 5 x 500 ms before the question is posted anyway.
TEST_F(TransferTest, UnansweredQuestionIsNoAfter150Seconds) {
  test::FakeClock clock;
  test::ScopedClock scoped(clock);
  block()[0] = TRAN_STATUS & 0xFF;
  checker_.local = Header(kTranManualNewMail, 0, 3, 3, 0);
  EXPECT_FALSE(AskQuestion(checker_));
  EXPECT_EQ(clock.SleepCalls(), 305);
  EXPECT_EQ(clock.TotalSlept(), 152500u);
  EXPECT_EQ(Text(BlockHeader(checker_)), "4 0 0 3 0");
}

TEST_F(TransferTest, ConsumeIgnoresAnythingButADelivery) {
  test::FakeClock clock;
  test::ScopedClock scoped(clock);
  for (int code : {1, 4, 5, TRAN_STATUS & 0xFF}) {
    block()[0] = code;
    checker_.local = Header(TRAN_IDLE, 0, 0, 0, 0);
    EXPECT_FALSE(ConsumeSettings(checker_).taken);
    EXPECT_EQ(block()[0], code);
  }
  EXPECT_EQ(clock.SleepCalls(), 0);
}

// Settings side against a block of this process.
class SettingsSideTest : public TransferTest {
 protected:
  SettingsRecords records_;
  SettingsTransfer settings_{records_};
};

// A publish outside a delivery writes the records only into a free block;
// on a pending message it writes just the two code bytes.
TEST_F(SettingsSideTest, PublishWritesRecordsOnlyIntoAFreeBlock) {
  std::strcpy(records_.basic.accounts[1], "jiro@example.jp");
  std::strcpy(records_.basic.passwords[1], "plain");
  records_.mailer.list_reload_flags = kReloadRejectionList;
  for (int i = 0; i < 1556; ++i) block()[i] = 0xEE;
  block()[0] = TRAN_IDLE;
  block()[1] = 0;
  settings_.local = Header(TRAN_IDLE, 0, 0, 0, 0);
  Publish(settings_);
  uint8_t expected[kRecordsEnd - kRecordsOffset];
  std::memcpy(expected, &records_.basic, sizeof records_.basic);
  std::memcpy(expected + 518, &records_.options, sizeof records_.options);
  std::memcpy(expected + 526, &records_.judgment, sizeof records_.judgment);
  std::memcpy(expected + 982, &records_.mailer, sizeof records_.mailer);
  for (size_t i = 0; i < sizeof expected; ++i) {
    ASSERT_EQ(block()[kRecordsOffset + i], expected[i]) << "block byte " << kRecordsOffset + i;
  }
  EXPECT_EQ(block()[kListReloadByte], kReloadRejectionList);
  for (int i = 1220; i < 1556; ++i) ASSERT_EQ(block()[i], 0xEE) << "checker byte " << i;

  // Busy: a checker message waits. Only bytes 0 and 1 change.
  checker_.local = Header(TRAN_STATUS, kStatusChecking, 4, 2, 1);
  PostReport(checker_);
  uint8_t before[1556];
  CopyFromBlock(block(), 0, before, sizeof before);
  settings_.handshake_copy = TRAN_IDLE;
  settings_.local = Header(TRAN_STATUS, 0, 0, 0, 0);
  std::strcpy(records_.basic.accounts[1], "changed");
  Publish(settings_);
  for (int i = 0; i < 1556; ++i) {
    uint8_t want = i == 0 ? TRAN_IDLE : i == 1 ? 0 : before[i];
    ASSERT_EQ(block()[i], want) << "block byte " << i;
  }
}

TEST_F(SettingsSideTest, PollLeavesHandshakeCodesAlone) {
  test::FakeClock clock;
  test::ScopedClock scoped(clock);
  int shown = 0;
  for (int16_t code : {TRAN_IDLE, TRAN_SETTINGS, TRAN_ASK}) {
    checker_.local = Header(code, 1, 0, 0, 0);
    CopyToBlock(block(), 0, &checker_.local, sizeof checker_.local);
    PollBlock(settings_, [&shown](const TransferHeader&) { ++shown; });
    EXPECT_EQ(block()[0], code);
    EXPECT_EQ(settings_.local.code, code);
  }
  EXPECT_EQ(shown, 0);
  EXPECT_EQ(clock.SleepCalls(), 0);
}

// Without a checker every operation fails quietly: no checker is the
// everyday state, so no diagnostic line either.
TEST(TransferWithoutChecker, OperationsFailQuietly) {
  test::TempPrefix prefix;
  SettingsRecords records;
  SettingsTransfer settings(records);
  settings.handshake_copy = 3;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(ReadBlock(settings));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(settings.handshake_copy, 0);

  bool shown = false;
  testing::internal::CaptureStdout();
  SendSettings(settings, true);
  PollBlock(settings, [&shown](const TransferHeader&) { shown = true; });
  SendAnswer(settings, true);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_FALSE(shown);
}

// A checker killed without a chance to clean up leaves no block behind.
TEST(TransferWithoutChecker, KilledCreatorCountsAsAbsent) {
  test::TempPrefix prefix;
  Peer checker(prefix.path(), {"hold", "30"});
  ASSERT_EQ(checker.ReadLine(), "ready");
  SettingsRecords records;
  SettingsTransfer settings(records);
  ASSERT_TRUE(ReadBlock(settings));
  EXPECT_EQ(settings.handshake_copy, TRAN_IDLE);

  checker.Kill();
  testing::internal::CaptureStdout();
  EXPECT_FALSE(ReadBlock(settings));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(settings.handshake_copy, 0);
}

}  // namespace
}  // namespace zvrx
