// One check: every enabled mailbox in turn, newest message first, down to
// the message an earlier check already examined. Unwanted mail is deleted
// at once in the same connection; QUIT commits the deletions.
#pragma once

#include <cstdint>
#include <string_view>

#include "checker/analysis/judgment.h"
#include "checker/analysis/mail_record.h"
#include "checker/core/checker_state.h"
#include "checker/core/pop_result.h"

namespace zvrx {

inline constexpr int kPauseAfterMessageMs = 100;

// Follows a check as it goes, for a console; every call is on the caller's
// thread, between the network steps.
class CheckObserver {
 public:
  virtual ~CheckObserver() = default;
  virtual void AccountStarted(int /*account_number*/, std::string_view /*account*/) {}
  virtual void LoggedIn(int /*account_number*/, PopResult /*result*/) {}
  virtual void MailboxCounted(int /*account_number*/, int /*total*/) {}
  virtual void MessageJudged(int /*account_number*/, int /*number*/, const MailRecord& /*record*/,
                             const JudgmentResult& /*result*/) {}
  // `result` is the account's stored result (-2 done, 1 met seen mail, ...).
  virtual void AccountFinished(int /*account_number*/, int16_t /*result*/) {}
};

struct CheckRun {
  // Walks and judges the same way but sends no DELE, writes no work-log
  // entry and no last-seen marker.
  bool dry_run = false;
  CheckObserver* observer = nullptr;
};

// Runs one whole check with the settings in memory. The caller sets busy
// and runs the notifications afterwards. Ends early only after FatalError.
void RunCheck(CheckerState& state, const CheckRun& run = {});

}  // namespace zvrx
