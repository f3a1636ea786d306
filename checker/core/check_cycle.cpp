#include "checker/core/check_cycle.h"

#include <cstring>

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

// Walks one logged-in mailbox from the newest message down; returns the
// code that ended the walk (POP_OK's when it reached message 1).
int16_t WalkMailbox(CheckerState& state, const CheckRun& run, int16_t k, bool* fatal) {
  CheckCounters& counters = state.counters;
  int16_t count = 0;
  if (Stat(state.connection, count) != POP_OK) count = 0;  // treated as empty
  counters.total = count;
  if (run.observer) run.observer->MailboxCounted(k, count);

  const JudgmentEffects effects{&counters, run.dry_run ? nullptr : &state.marker, !run.dry_run};
  int16_t r = StoredValue(POP_OK);
  for (int n = counters.total; n >= 1 && r == StoredValue(POP_OK); --n) {
    counters.running_number = counters.total - n + 1;
    Post(state, TRAN_STATUS,
         {.p1 = kStatusConfirming, .p2 = HeaderCount(counters.total),
          .p3 = HeaderCount(counters.running_number), .p4 = k});
    std::memset(&state.record, 0, sizeof state.record);
    FetchResult fetched =
        FetchAndParse(state.connection, n, state.record, state.body, state.marker, state.converter);
    if (fetched.result == POP_OUT_OF_MEMORY) {
      *fatal = true;
      return StoredValue(POP_OUT_OF_MEMORY);
    }
    r = fetched.Code();
    if (r != StoredValue(POP_OK)) break;  // already seen, or the connection failed

    ++counters.examined;
    Post(state, TRAN_STATUS,
         {.p1 = kStatusChecking, .p2 = HeaderCount(counters.total),
          .p3 = HeaderCount(counters.running_number), .p4 = k});
    JudgmentResult judged;
    int verdict = JudgeMail(state.analysis, state.transfer.records.basic.inspection_level,
                            state.record, state.body.data(), state.body.text_length, effects,
                            &judged);
    if (judged.out_of_memory) {
      *fatal = true;
      return StoredValue(POP_OUT_OF_MEMORY);
    }
    if (run.observer) run.observer->MessageJudged(k, n, state.record, judged);
    if (verdict == kVerdictDelete && !run.dry_run) {
      Dele(state.connection, n);  // a refusal changes nothing: the log already holds it
    }
    platform::Sleep(kPauseAfterMessageMs);
  }
  return r;
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
    PopResult login = Login(state.connection, account, password, state.apop_state[i]);
    if (run.observer) run.observer->LoggedIn(k, login);
    int16_t r = StoredValue(login);
    if (login == POP_OK) {
      bool fatal = false;
      r = WalkMailbox(state, run, k, &fatal);
      if (fatal) {
        DropSocket(state);
        ReleaseCheckBuffers(state);
        FatalError(state, kFatalNoMemory);
        return;
      }
      CloseConnection(state.connection);
    }
    counters.account_results[i] = r;
    if (run.dry_run) {
      state.marker.kept = false;  // a preview leaves the marker file alone
      state.marker.path.clear();
    }
    EndMarkerWalk(state.marker);
    if (run.observer) run.observer->AccountFinished(k, r);

    if (basic.check_mode == 0 && (state.transfer.records.options.option_bits & kOptManualReport)) {
      PostLoginFailure(state, r, k);
    }
  }

  DropSocket(state);
  ReleaseCheckBuffers(state);
}

}  // namespace zvrx
