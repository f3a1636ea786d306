// The counters of one check: what the cycle examined and what the judgment
// kept and deleted, read afterwards by the notifications.
#pragma once

#include <cstdint>

namespace zvrx {

inline constexpr int kCheckAccountCount = 3;     // mailboxes per user
inline constexpr int kCurrentAccountSize = 85;   // one account field of BasicSettings

// Zero-filled at start-up; the worker thread alone uses it.
struct CheckCounters {
  int32_t busy = 0;            // 1 while a check runs
  int32_t examined = 0;        // messages fetched and judged in this check
  int32_t kept = 0;            // the new-mail count, raised by the judgment
  int32_t deleted = 0;         // raised by the judgment
  int32_t running_number = 0;  // 1 = the newest message of the mailbox
  int32_t total = 0;           // messages in the mailbox (STAT)
  int16_t account_results[kCheckAccountCount] = {};  // 1: skipped or already seen
  char current_account[kCurrentAccountSize] = {};
};

}  // namespace zvrx
