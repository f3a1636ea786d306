// One check: every enabled mailbox in turn, newest message first, down to
// the message an earlier check already examined. Unwanted mail is deleted
// at once in the same connection; only QUIT's +OK commits the deletions.
//
// How long a server can hold one account: a server that never completes a
// reply, 150 s (a 30 s connect and one 120 s reply deadline; no QUIT is
// awaited after a time-out); one that stops in the middle of a walk, 120 s
// after its last complete reply; any server at all, 5 minutes plus 10 s for
// every message examined, plus a connect under way.
#pragma once

#include <cstdint>
#include <string_view>

#include "checker/analysis/judgment.h"
#include "checker/analysis/mail_record.h"
#include "checker/core/checker_state.h"
#include "checker/core/pop_result.h"

namespace zvrx {

inline constexpr int kPauseAfterMessageMs = 100;
// One walk examines at most this many messages, the newest ones (the
// system's counts are 16-bit); a walk that stops here leaves the marker.
inline constexpr int64_t kWalkLimit = INT16_MAX;
// One account may take 5 minutes, and 10 s more for every message it
// examined, whatever its server does (plus a connect under way): no reply
// is awaited past that. Real servers need a fraction of a second per
// message; one slower than this is cut off, so a server that answers every
// reply just inside its own deadline cannot hold the check for hours.
inline constexpr int kAccountBaseMs = 5 * 60 * 1000;
inline constexpr int kAccountPerMessageMs = 10 * 1000;

// How one account's session ended, for a console.
struct AccountOutcome {
  // The server answered QUIT with +OK: the deletions below are final.
  // Otherwise the server keeps every message of the session.
  bool committed = false;
  // The walk reached message 1 or the marked message; only then may the
  // marker move.
  bool walk_complete = false;
  int examined = 0;
  int kept = 0;         // judged kept, and those whose DELE the server refused
  int deleted = 0;      // deleted on the server (0 unless committed); a
                        // preview counts what it would delete
  int refused = 0;      // DELE answered -ERR: kept, to be judged again
  int not_kept = 0;     // no copy could be kept: left on the server, judged again
  int uncommitted = 0;  // judged for deletion but left on the server
  PopResult ended_by = POP_OK;  // the failure that ended the session, if any
};

// Follows a check as it goes, for a console; every call is on the caller's
// thread, between the network steps.
class CheckObserver {
 public:
  virtual ~CheckObserver() = default;
  virtual void AccountStarted(int /*account_number*/, std::string_view /*account*/) {}
  virtual void LoggedIn(int /*account_number*/, PopResult /*result*/) {}
  virtual void MailboxCounted(int /*account_number*/, int64_t /*total*/) {}
  virtual void MessageJudged(int /*account_number*/, int64_t /*number*/,
                             const MailRecord& /*record*/, const JudgmentResult& /*result*/) {}
  // The server did not delete the message the judgment chose: -ERR (kept,
  // judged again next time) or a failure that ends the session.
  virtual void DeleteFailed(int /*account_number*/, int64_t /*number*/, PopResult /*result*/) {}
  // No copy of the message could be kept before its deletion, so it was
  // not deleted: too large or not saved (`retr` POP_OK), or RETR failed
  // (refused: the session goes on; anything else ends it).
  virtual void CopyNotKept(int /*account_number*/, int64_t /*number*/, PopResult /*retr*/) {}
  // `result` is the account's stored result (-2 done, 1 met seen mail, ...).
  virtual void AccountFinished(int /*account_number*/, int16_t /*result*/,
                               const AccountOutcome& /*outcome*/) {}
};

struct CheckRun {
  // Walks and judges the same way but sends no DELE, writes no work-log
  // entry and no last-seen marker.
  bool dry_run = false;
  CheckObserver* observer = nullptr;
};

// Runs one whole check with the settings in memory. The caller sets busy
// and runs the notifications afterwards. Ends early only after FatalError.
//
// The work log and the marker follow the server: deletions take effect only
// when QUIT is answered +OK, so a session's log entries are written then, in
// the order of the deletions, and a session that ends any other way writes
// none, counts no deletion and leaves its marker. The marker moves only when
// the walk also got through (message 1 or the old marker), so no mail is
// left unexamined behind it. An account whose session ended any other way,
// or whose walk broke off (a failure, or out of time), gets a failure result.
void RunCheck(CheckerState& state, const CheckRun& run = {});

}  // namespace zvrx
