#include "checker/core/scheduler.h"

#include "checker/core/check_cycle.h"
#include "checker/core/configuration.h"
#include "checker/core/notify.h"
#include "platform/named_lock.h"
#include "shared/records.h"
#include "shared/transfer_block.h"

namespace zvrx {

namespace {

constexpr uint32_t kIntervals[kCheckModeCount] = {kNeverDue, kNeverDue, 10, 20, 30, 60, 120};

// Years before 1938 are taken as 2000 and later.
constexpr int kCenturyPivot = 38;

// The group of option bits starting at `shift`, as a number 0..7.
int OptionGroup(uint16_t options, int shift) { return (options >> shift) & 7; }

void PostWaiting(CheckerState& state) { Post(state, TRAN_STATUS, {.p1 = kStatusWaiting}); }

}  // namespace

uint32_t PackedMinutes(const platform::LocalTime& time) {
  uint32_t years = static_cast<uint32_t>(time.year - 1900);
  if (years < kCenturyPivot) years += 100;
  return static_cast<uint32_t>(time.minute) + 64u * static_cast<uint32_t>(time.hour) +
         2048u * static_cast<uint32_t>(time.day) + 65536u * static_cast<uint32_t>(time.month) +
         1048576u * years;
}

uint32_t PackedMinutesNow() { return PackedMinutes(platform::Now()); }

uint32_t IntervalTable(int16_t check_mode) {
  if (check_mode < 0 || check_mode >= kCheckModeCount) return kNeverDue;
  return kIntervals[check_mode];
}

bool ScheduleTest(CheckerState& state, int16_t check_mode) {
  bool due = false;
  if (check_mode != 0 && state.startup_check_pending) {
    state.startup_check_pending = false;
    due = true;
  } else {
    // Unsigned: a clock set back wraps round and counts as due.
    // A deferred check is still due, unless the user made checks manual.
    due = (state.check_deferred && check_mode != 0) ||
          IntervalTable(check_mode) < PackedMinutesNow() - state.last_check_time;
    ApplyDelivery(state, ConsumeSettings(state.transfer));
    if (state.transfer.local.code == TRAN_SETTINGS &&
        state.transfer.records.basic.check_mode == 0 && !state.stop) {
      state.startup_check_pending = false;
      ManualCheck(state);
    }
  }
  platform::Sleep(kSchedulerPassMs);
  return due;
}

int ManualCheck(CheckerState& state) {
  const uint16_t options = state.transfer.records.options.option_bits;
  if (state.counters.busy != 0) return -1;
  // zvrxctl is checking this machine's mail: the request stays (the local
  // code is still the delivery's) and runs at the first pass after it.
  auto check_lock = platform::NamedLock::Acquire(kCheckLockName, 0);
  if (!check_lock) return -1;
  state.counters.busy = 1;
  RunCheck(state);
  check_lock.reset();  // the report may wait for the user; the mail is done
  state.last_check_time = PackedMinutesNow();
  state.counters.busy = 0;
  if (state.stop) return 1;  // a fatal error ended the check
  Notify(state, state.counters.kept, OptionGroup(options, 0), OptionGroup(options, 4),
         OptionGroup(options, 8));
  PostWaiting(state);
  return 1;
}

void RunSchedulerPass(CheckerState& state) {
  if (!ScheduleTest(state, state.transfer.records.basic.check_mode) || state.stop) return;
  // Two checks at once would both delete and both log: while zvrxctl checks
  // this machine's mail, the due check waits for the next pass.
  auto check_lock = platform::NamedLock::Acquire(kCheckLockName, 0);
  state.check_deferred = !check_lock;
  if (!check_lock) return;
  state.counters.busy = 1;
  RunCheck(state);
  check_lock.reset();  // the report dialog may stay open; the mail is done
  state.last_check_time = PackedMinutesNow();
  state.counters.busy = 0;
  if (state.stop) return;
  Notify(state, state.counters.kept, kAutomaticNotifyMode, kAutomaticNotifyMode,
         kAutomaticNotifyMode);
  PostWaiting(state);
  PostWaiting(state);
}

void RunScheduler(CheckerState& state) {
  while (!state.stop) RunSchedulerPass(state);
}

}  // namespace zvrx
