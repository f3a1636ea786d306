#include "checker/core/check_cycle.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "checker/analysis/work_log.h"
#include "checker/core/fetch_and_parse.h"
#include "platform/clock.h"
#include "shared/records.h"
#include "shared/transfer_block.h"

namespace zvrx {

namespace {

std::string_view FieldText(const char (&field)[kAccountFieldSize]) {
  return {field, strnlen(field, kAccountFieldSize - 1)};
}

// Closes the socket without QUIT: after a fatal error the program ends, and
// the server then keeps what was marked for deletion.
void DropSocket(CheckerState& state) {
  if (state.connection.socket) {
    state.connection.socket->Close();
    state.connection.socket.reset();
  }
}

void ReleaseCheckBuffers(CheckerState& state) {
  state.body.Release();
  ReleaseAnalysisBuffer(state.analysis.scoring.buffer);
}

// A refused login in manual mode, so the settings program can name it.
void PostLoginFailure(CheckerState& state, int16_t result, int16_t k) {
  int16_t code = 0;
  if (result == StoredValue(POP_PASS_REJECTED)) {
    code = kTranPasswordRejected;
  } else if (result == StoredValue(POP_USER_REJECTED)) {
    code = kTranUserRejected;
  } else if (result == StoredValue(POP_NO_HOST) || result == StoredValue(POP_NO_AT_SIGN) ||
             result == StoredValue(POP_CONNECT_FAILED)) {
    code = kTranServerUnreachable;
  } else {
    return;
  }
  Post(state, code, {.p1 = k, .p3 = 0, .p4 = k});
}

// A deletion waiting for QUIT: what its log entry will say.
struct PendingEntry {
  std::string category;
  std::string from;
  std::string subject;
};

struct Walk {
  int16_t result = StoredValue(POP_OK);  // the code that ended it
  AccountOutcome outcome;
  std::vector<PendingEntry> deletions;  // DELE answered +OK, in order
};

void CopyField(char (&field)[kMailFieldSize], const std::string& text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

// The server committed the session: its deletions go into the work log.
void WriteSessionLog(const std::vector<PendingEntry>& deletions) {
  MailRecord record{};
  for (const PendingEntry& entry : deletions) {
    CopyField(record.from, entry.from);
    CopyField(record.subject, entry.subject);
    WriteLogEntry(entry.category, record);
  }
}

uint64_t AccountTimeLeft(const PopConnection& connection) {
  if (connection.account_end_tick == 0) return UINT64_MAX;
  const uint64_t now = platform::TickCount();
  return connection.account_end_tick > now ? connection.account_end_tick - now : 0;
}

// Walks one logged-in mailbox from the newest message down, until message
// 1, the marked message, a failure, or the walk limit.
void WalkMailbox(CheckerState& state, const CheckRun& run, int16_t k, Walk& walk, bool* fatal) {
  CheckCounters& counters = state.counters;
  AccountOutcome& outcome = walk.outcome;
  int64_t count = 0;
  PopResult stat = Stat(state.connection, count);
  if (stat != POP_OK) {
    count = 0;  // a refused STAT is an empty mailbox ...
    if (state.connection.broken) {  // ... a lost connection is not
      walk.result = StoredValue(stat);
      outcome.ended_by = stat;
      return;
    }
  }
  counters.total = static_cast<int32_t>(std::min<int64_t>(count, INT32_MAX));
  if (run.observer) run.observer->MailboxCounted(k, count);

  const JudgmentEffects effects{&counters, run.dry_run ? nullptr : &state.marker, false};
  int64_t n = count;
  uint64_t slowest = 0;  // the longest one message has taken so far
  for (; n >= 1; --n) {
    const int64_t position = count - n + 1;  // 1 = the newest
    if (position > kWalkLimit) break;
    const uint64_t left = AccountTimeLeft(state.connection);
    if (left == 0 || left < 2 * slowest) {
      // Out of time: stop between messages, while QUIT can still commit
      // what was deleted.
      walk.result = StoredValue(POP_TIMED_OUT);
      outcome.ended_by = POP_TIMED_OUT;
      return;
    }
    const uint64_t message_start = platform::TickCount();
    counters.running_number = static_cast<int32_t>(position);
    Post(state, TRAN_STATUS,
         {.p1 = kStatusConfirming, .p2 = HeaderCount(counters.total),
          .p3 = HeaderCount(counters.running_number), .p4 = k});
    std::memset(&state.record, 0, sizeof state.record);
    FetchResult fetched =
        FetchAndParse(state.connection, n, state.record, state.body, state.marker, state.converter,
                      &state.analysis);
    if (fetched.result == POP_OUT_OF_MEMORY) {
      *fatal = true;
      return;
    }
    walk.result = fetched.Code();
    if (fetched.already_seen) {
      outcome.walk_complete = true;
      return;
    }
    if (fetched.result != POP_OK) {
      outcome.ended_by = fetched.result;
      return;
    }

    ++counters.examined;
    ++outcome.examined;
    Post(state, TRAN_STATUS,
         {.p1 = kStatusChecking, .p2 = HeaderCount(counters.total),
          .p3 = HeaderCount(counters.running_number), .p4 = k});
    JudgmentResult judged;
    int verdict = JudgeMail(state.analysis, state.transfer.records.basic.inspection_level,
                            state.record, state.body.data(), state.body.text_length, effects,
                            &judged);
    if (judged.out_of_memory) {
      *fatal = true;
      return;
    }
    if (run.observer) run.observer->MessageJudged(k, n, state.record, judged);
    if (verdict != kVerdictDelete) {
      ++outcome.kept;
    } else if (run.dry_run) {
      ++outcome.deleted;
    } else {
      PopResult dele = Dele(state.connection, n);
      if (dele == POP_OK) {
        walk.deletions.push_back({judged.category, state.record.from, state.record.subject});
      } else {
        // Not deleted after all: the judgment's count goes back.
        --counters.deleted;
        if (run.observer) run.observer->DeleteFailed(k, n, dele);
        if (dele != POP_COMMAND_FAILED) {  // the connection is gone
          ++outcome.uncommitted;
          walk.result = StoredValue(dele);
          outcome.ended_by = dele;
          return;
        }
        // Refused: the message stays, so it counts as kept, and the marker
        // must not pass it or it would never be judged again.
        ++counters.kept;
        ++outcome.kept;
        ++outcome.refused;
        HoldMarkerBelow(state.marker);
      }
    }
    platform::Sleep(kPauseAfterMessageMs);
    slowest = std::max(slowest, platform::TickCount() - message_start);
    if (state.connection.account_end_tick != 0) {
      state.connection.account_end_tick += kAccountPerMessageMs;
    }
  }
  // Down to message 1, or stopped by the walk limit with older mail unseen.
  outcome.walk_complete = n < 1;
}

// Ends the session with QUIT and settles what it did: the log entries and
// the deletion count only when the server committed.
int16_t SettleSession(CheckerState& state, const CheckRun& run, Walk& walk) {
  AccountOutcome& outcome = walk.outcome;
  PopResult quit = Quit(state.connection);
  outcome.committed = quit == POP_OK;
  int16_t result = walk.result;
  if (outcome.committed) {
    outcome.deleted += static_cast<int>(walk.deletions.size());
    if (!run.dry_run) WriteSessionLog(walk.deletions);
    return result;
  }
  // The server undoes every DELE of a session that did not end with +OK.
  const int lost = static_cast<int>(walk.deletions.size());
  state.counters.deleted -= lost;
  outcome.uncommitted += lost;
  if (result == StoredValue(POP_OK) || result == kAlreadySeenCode) {
    result = StoredValue(quit);
    outcome.ended_by = quit;
  }
  return result;
}

}  // namespace

void RunCheck(CheckerState& state, const CheckRun& run) {
  CheckCounters& counters = state.counters;
  const BasicSettings& basic = state.transfer.records.basic;

  if (basic.account_mask == 0) {
    // The counts are cleared here too, so the report after this check
    // cannot repeat the previous check's new mail.
    counters.examined = counters.kept = counters.deleted = 0;
    for (int16_t& result : counters.account_results) result = kAlreadySeenCode;
    Post(state, kTranNoAccount, {.p1 = 0, .p4 = 0});
    return;
  }

  counters.examined = counters.kept = counters.deleted = 0;
  // Read at every check, so that a change reaches a running checker.
  state.analysis.modern_mail = ModernMailOption();
  Post(state, TRAN_IDLE);
  for (int16_t& result : counters.account_results) result = kAlreadySeenCode;

  for (int i = 0; i < kAccountCount; ++i) {
    if ((basic.account_mask & (1u << i)) == 0) continue;
    const int16_t k = static_cast<int16_t>(i + 1);
    const std::string_view account = FieldText(basic.accounts[i]);
    const std::string_view password = FieldText(basic.passwords[i]);

    counters.running_number = 0;
    counters.total = 0;
    std::memset(counters.current_account, 0, sizeof counters.current_account);
    std::memcpy(counters.current_account, account.data(), account.size());
    BeginMarkerWalk(state.marker, account);
    if (run.observer) run.observer->AccountStarted(k, account);

    Post(state, TRAN_STATUS, {.p1 = kStatusLookingUp, .p4 = k});
    state.connection.account_end_tick = platform::TickCount() + kAccountBaseMs;
    PopResult login = Login(state.connection, account, password, state.apop_state[i]);
    if (run.observer) run.observer->LoggedIn(k, login);
    int16_t r = StoredValue(login);
    Walk walk;
    if (login == POP_OK) {
      bool fatal = false;
      WalkMailbox(state, run, k, walk, &fatal);
      if (fatal) {
        DropSocket(state);  // no QUIT: the server keeps everything
        ReleaseCheckBuffers(state);
        FatalError(state, kFatalNoMemory);
        return;
      }
      r = SettleSession(state, run, walk);
    } else {
      walk.outcome.ended_by = login;
    }
    state.connection.account_end_tick = 0;
    counters.account_results[i] = r;
    // A preview leaves the marker file alone; a walk that broke off, or a
    // session the server did not commit, would hide unexamined mail.
    const bool move_marker = !run.dry_run && walk.outcome.committed && walk.outcome.walk_complete;
    EndMarkerWalk(state.marker, move_marker);
    if (run.observer) run.observer->AccountFinished(k, r, walk.outcome);

    if (basic.check_mode == 0 && (state.transfer.records.options.option_bits & kOptManualReport)) {
      PostLoginFailure(state, r, k);
    }
  }

  DropSocket(state);
  ReleaseCheckBuffers(state);
}

}  // namespace zvrx
