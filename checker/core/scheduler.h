// The worker's scheduler: a pass about once a second that takes settings
// deliveries between checks and decides whether a check is due.
#pragma once

#include <cstdint>

#include "checker/core/checker_state.h"
#include "platform/clock.h"

namespace zvrx {

inline constexpr int kSchedulerPassMs = 1007;
// Check modes 0 (manual only) and 1 (at start-up only) are never due by time.
inline constexpr uint32_t kNeverDue = 0xFFFFFFFF;

// Local time packed so that differences serve as elapsed minutes: minute +
// 64 hour + 2048 day + 65536 month + 1048576 year (years since 1900, plus
// 100 below 38). Crossing an hour adds 4 extra units, a day more.
uint32_t PackedMinutes(const platform::LocalTime& time);
uint32_t PackedMinutesNow();

// The interval of a check mode in packed minutes; kNeverDue for modes 0 and
// 1 and for a mode outside 0..6.
uint32_t IntervalTable(int16_t check_mode);

// One pass: the start-up check or the interval decides; a delivery is taken
// and a check-now request in manual mode runs at once; then 1007 ms of
// sleep. True when a scheduled check is due.
bool ScheduleTest(CheckerState& state, int16_t check_mode);

// A check the settings program asked for. 1 when it ran, -1 when a check
// was already running, here or in another program (zvrxctl check) that
// holds the machine's check lock; the request then stays for a later pass.
int ManualCheck(CheckerState& state);

// One pass of the loop: ScheduleTest, and the scheduled check with its
// notifications when due. A due check that finds the machine's check lock
// held elsewhere is deferred (state.check_deferred) to the next pass.
void RunSchedulerPass(CheckerState& state);

// Passes until state.stop is set.
void RunScheduler(CheckerState& state);

}  // namespace zvrx
