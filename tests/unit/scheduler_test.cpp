// The scheduler with a replaceable clock: the packed time stamp, when an
// interval is due, one check per start in mode 1, checks only on request in
// mode 0, and a switch away from mode 0 after start-up checking at once.
// Every check here has no account enabled, so it shows in the block as
// code 130; the settings side is played by the clock inside the waits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checker/core/checker_state.h"
#include "checker/core/scheduler.h"
#include "platform/named_lock.h"
#include "shared/records.h"
#include "shared/transfer_checker.h"
#include "tests/support/fake_clock.h"
#include "tests/support/process_runner.h"
#include "tests/support/settings_side_clock.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

constexpr auto& At = test::LocalTimeAt;

TEST(PackedMinutesTest, FieldsAndDifferences) {
  struct Row {
    platform::LocalTime time;
    uint32_t packed;
  } rows[] = {
      {At(2000, 1, 3, 9, 0), 9 * 64 + 3 * 2048 + 1 * 65536 + 100u * 1048576},
      {At(1999, 12, 31, 23, 59), 59 + 23 * 64 + 31 * 2048 + 12 * 65536 + 99u * 1048576},
      // Years below 38 since 1900 count as the next century.
      {At(1937, 5, 1, 0, 0), 1 * 2048 + 5 * 65536 + 137u * 1048576},
      {At(2037, 5, 1, 0, 0), 1 * 2048 + 5 * 65536 + 137u * 1048576},
  };
  for (const Row& row : rows) EXPECT_EQ(PackedMinutes(row.time), row.packed) << row.time.year;

  // Within the hour the difference is minutes; an hour boundary adds 4.
  EXPECT_EQ(PackedMinutes(At(2001, 6, 1, 10, 58)) - PackedMinutes(At(2001, 6, 1, 10, 50)), 8u);
  EXPECT_EQ(PackedMinutes(At(2001, 6, 1, 11, 5)) - PackedMinutes(At(2001, 6, 1, 10, 58)), 11u);
}

class SchedulerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateBlock(state_.transfer));
    state_.transfer.records.basic.account_mask = 0;  // a check is just code 130
    state_.last_check_time = PackedMinutesNow();
    state_.startup_check_pending = true;
  }

  void SetMode(int16_t mode) { state_.transfer.records.basic.check_mode = mode; }

  // Checks (code 130 in the block) and all posts since the last call.
  int Checks() {
    int checks = 0;
    for (const auto& post : clock_.Collect()) checks += post.rfind("130 ", 0) == 0;
    clock_.ClearPosts();
    return checks;
  }

  void Deliver(int16_t mode, bool check_now) {
    SettingsRecords records;
    records.basic.check_mode = mode;
    clock_.DeliverNow(records, check_now);
  }

  test::TempPrefix prefix_;
  test::SettingsSideClock clock_{At(2001, 6, 1, 10, 50)};
  test::ScopedClock scoped_clock_{clock_};
  CheckerState state_;
};

// Mode 2 with the last check ending at 10:58: at 11:04 the stamps differ by
// 10 (not due), at 11:05 by 11, so the check comes about seven minutes after
// the last one. Modes 0 and 1 are never due by time; a clock set back is.
TEST_F(SchedulerTest, IntervalDueByPackedMinutes) {
  struct Row {
    int16_t mode;
    platform::LocalTime last, now;
    bool due;
  } rows[] = {
      {2, At(2001, 6, 1, 10, 58), At(2001, 6, 1, 11, 4), false},
      {2, At(2001, 6, 1, 10, 58), At(2001, 6, 1, 11, 5), true},
      {2, At(2001, 6, 1, 10, 0), At(2001, 6, 1, 10, 10), false},
      {2, At(2001, 6, 1, 10, 0), At(2001, 6, 1, 10, 11), true},
      // The hour boundary's extra units bring an hourly check 3 minutes early.
      {5, At(2001, 6, 1, 10, 58), At(2001, 6, 1, 11, 54), false},
      {5, At(2001, 6, 1, 10, 58), At(2001, 6, 1, 11, 55), true},
      {6, At(2001, 6, 1, 23, 0), At(2001, 6, 2, 0, 10), true},    // a day boundary
      {0, At(2001, 6, 1, 10, 0), At(2001, 6, 9, 10, 0), false},
      {1, At(2001, 6, 1, 10, 0), At(2001, 6, 9, 10, 0), false},
      {2, At(2001, 6, 1, 10, 0), At(2001, 6, 1, 9, 0), true},     // clock set back
      {7, At(2001, 6, 1, 10, 0), At(2001, 6, 9, 10, 0), false},   // no such mode
      {-1, At(2001, 6, 1, 10, 0), At(2001, 6, 9, 10, 0), false},
  };
  state_.startup_check_pending = false;
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "mode " << row.mode << " now " << row.now.hour << ":"
                                    << row.now.minute);
    state_.last_check_time = PackedMinutes(row.last);
    clock_.SetNow(row.now);
    uint64_t slept = clock_.TotalSlept();
    EXPECT_EQ(ScheduleTest(state_, row.mode), row.due);
    EXPECT_EQ(clock_.TotalSlept() - slept, 1007u);
  }
}

// Mode 1: exactly one check per start. Interval modes check at start-up and
// then on their interval, each check followed by the waiting status twice.
TEST_F(SchedulerTest, StartUpCheckThenSchedule) {
  SetMode(1);
  for (int pass = 0; pass < 6; ++pass) {
    clock_.SetNow(At(2001, 6, 1 + pass, 10, 50));
    RunSchedulerPass(state_);
  }
  EXPECT_EQ(Checks(), 1);

  CheckerState& state = state_;
  state.startup_check_pending = true;  // a new start
  SetMode(2);
  clock_.SetNow(At(2001, 6, 1, 10, 58));
  RunSchedulerPass(state);
  EXPECT_EQ(clock_.Collect(),
            (std::vector<std::string>{"130 0 0 0 0", "300 3 0 0 0", "300 3 0 0 0"}));
  clock_.ClearPosts();
  clock_.SetNow(At(2001, 6, 1, 11, 4));
  RunSchedulerPass(state);
  EXPECT_EQ(Checks(), 0);
  clock_.SetNow(At(2001, 6, 1, 11, 5));
  RunSchedulerPass(state);
  EXPECT_EQ(Checks(), 1);
}

// Mode 0: nothing starts by itself; a delivery with check now starts the
// check in the same pass, reports by the manual rules (waiting once) and
// serves the start-up check too.
TEST_F(SchedulerTest, ManualModeChecksOnlyOnRequest) {
  SetMode(0);
  for (int pass = 0; pass < 5; ++pass) {
    clock_.SetNow(At(2001, 6, 1 + pass, 10, 50));
    RunSchedulerPass(state_);
  }
  EXPECT_EQ(Checks(), 0);
  EXPECT_TRUE(state_.startup_check_pending);

  Deliver(0, /*check_now=*/true);
  RunSchedulerPass(state_);
  EXPECT_EQ(clock_.Collect(), (std::vector<std::string>{"130 0 0 0 0", "300 3 0 0 0"}));
  clock_.ClearPosts();
  EXPECT_FALSE(state_.startup_check_pending);
  EXPECT_EQ(state_.counters.busy, 0);

  RunSchedulerPass(state_);  // the request was served once
  Deliver(0, /*check_now=*/false);
  RunSchedulerPass(state_);
  EXPECT_EQ(Checks(), 0);
}

// A request to check now in an interval mode only updates the settings.
TEST_F(SchedulerTest, CheckNowInIntervalModeOnlyUpdates) {
  SetMode(2);
  state_.startup_check_pending = false;
  Deliver(3, /*check_now=*/true);
  RunSchedulerPass(state_);
  RunSchedulerPass(state_);
  EXPECT_EQ(Checks(), 0);
  EXPECT_EQ(state_.transfer.records.basic.check_mode, 3);
}

// The start-up check stays pending through mode 0, so switching to any
// other mode later checks at once.
TEST_F(SchedulerTest, SwitchFromManualAfterStartChecksAtOnce) {
  SetMode(0);
  RunSchedulerPass(state_);
  clock_.SetNow(At(2001, 6, 1, 11, 50));
  Deliver(4, /*check_now=*/false);
  RunSchedulerPass(state_);  // takes the delivery
  EXPECT_EQ(Checks(), 0);
  RunSchedulerPass(state_);
  EXPECT_EQ(Checks(), 1);
  RunSchedulerPass(state_);
  EXPECT_EQ(Checks(), 0);
}

TEST_F(SchedulerTest, BusyManualCheckIsRefused) {
  state_.counters.busy = 1;
  EXPECT_EQ(ManualCheck(state_), -1);
  EXPECT_EQ(Checks(), 0);
  state_.counters.busy = 0;
  EXPECT_EQ(ManualCheck(state_), 1);
  EXPECT_EQ(Checks(), 1);
}

// Another process checking this machine's mail: it holds the check lock
// until it is told to finish.
int HoldCheckLock(const test::ChildProcess::Side& side) {
  auto lock = platform::NamedLock::Acquire(kCheckLockName, 0);
  side.Ready(lock ? 'r' : 'f');
  side.Wait();
  return 0;
}

// While another process checks this machine's mail (zvrxctl check holds the
// check lock), a due check waits: it is due again at every pass, deliveries
// are still taken, and it runs once the other check is over. A request to
// check now stays until then too.
TEST_F(SchedulerTest, ADueCheckWaitsWhileAnotherCheckRuns) {
  test::ChildProcess other(HoldCheckLock);
  ASSERT_EQ(other.WaitReady(), 'r');
  SetMode(1);
  for (int pass = 0; pass < 4; ++pass) {
    clock_.SetNow(At(2001, 6, 1 + pass, 10, 50));
    RunSchedulerPass(state_);
  }
  EXPECT_EQ(Checks(), 0);
  EXPECT_TRUE(state_.check_deferred);
  Deliver(1, /*check_now=*/false);
  RunSchedulerPass(state_);
  EXPECT_EQ(Checks(), 0);
  EXPECT_EQ(state_.transfer.local.code, TRAN_IDLE) << "the delivery was taken";

  other.Finish();
  RunSchedulerPass(state_);
  EXPECT_EQ(Checks(), 1);
  EXPECT_FALSE(state_.check_deferred);
  RunSchedulerPass(state_);
  EXPECT_EQ(Checks(), 0) << "mode 1 checks once per start";
}

TEST_F(SchedulerTest, ACheckRequestWaitsWhileAnotherCheckRuns) {
  test::ChildProcess other(HoldCheckLock);
  ASSERT_EQ(other.WaitReady(), 'r');
  SetMode(0);
  Deliver(0, /*check_now=*/true);
  RunSchedulerPass(state_);
  RunSchedulerPass(state_);
  EXPECT_EQ(Checks(), 0);
  other.Finish();
  RunSchedulerPass(state_);
  EXPECT_EQ(Checks(), 1);
  RunSchedulerPass(state_);
  EXPECT_EQ(Checks(), 0) << "the request was served once";
}

TEST_F(SchedulerTest, StopEndsTheLoop) {
  SetMode(0);
  state_.stop = true;
  RunScheduler(state_);  // returns at once
  EXPECT_EQ(clock_.SleepCalls(), 0);
}

}  // namespace
}  // namespace zvrx
