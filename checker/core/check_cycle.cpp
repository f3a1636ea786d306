#include "checker/core/check_cycle.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "checker/analysis/work_log.h"
#include "checker/core/fetch_and_parse.h"
#include "checker/core/transport_settings.h"
#include "platform/clock.h"
#include "platform/cp932.h"
#include "platform/file_writer.h"
#include "platform/files.h"
#include "shared/extension_settings.h"
#include "shared/kept_copies.h"
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
  } else if (result == StoredValue(POP_TLS_UNTRUSTED) ||
             result == StoredValue(POP_TLS_WRONG_HOST)) {
    code = kTranCertificateRefused;
  } else if (result == StoredValue(POP_TLS_FAILED) || result == StoredValue(POP_NO_STLS)) {
    code = kTranNoSecureConnection;
  } else if (result == StoredValue(POP_PLAIN_REFUSED)) {
    code = kTranPlainRefused;
  } else {
    return;
  }
  Post(state, code, {.p1 = k, .p3 = 0, .p4 = k});
}

// A deletion waiting for QUIT: what its log entry will say, and its kept
// copy (none when keeping is off).
struct PendingEntry {
  std::string category;
  std::string from;
  std::string subject;
  std::unique_ptr<PendingCopy> copy;
  std::string uidl;
};

struct Walk {
  KeptOptions keep;  // keep.enabled only when copies are made
  int16_t result = StoredValue(POP_OK);  // the code that ended it
  AccountOutcome outcome;
  std::vector<PendingEntry> deletions;  // DELE answered +OK, in order
};

void CopyField(char (&field)[kMailFieldSize], const std::string& text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

// The server committed the session: its deletions go into the work log,
// and their kept copies become complete, each indexed by what its entry says.
void WriteSessionLog(std::vector<PendingEntry>& deletions, std::string_view account) {
  MailRecord record{};
  bool kept_any = false;
  for (PendingEntry& entry : deletions) {
    CopyField(record.from, entry.from);
    CopyField(record.subject, entry.subject);
    if (entry.copy) {
      kept_any = true;
      KeptCopyInfo info;
      info.stamp = LogStamp(platform::Now()).substr(0, kKeptStampLength);
      info.category = entry.category;
      info.from = record.from;
      info.subject = record.subject;
      info.account = std::string(account);
      info.uidl = entry.uidl;
      entry.copy->Commit(info);
    }
    WriteLogEntry(entry.category, record);
  }
  // The renames reach the disk too: a .part after a power loss would be
  // taken for a leftover and removed.
  if (kept_any) platform::SyncFolder(KeptFolder());
}

// Why a message chosen for deletion was left on the server instead.
enum class NotKept { kKept, kTooLarge, kNotRetrieved, kNotSaved };

std::string NotKeptReason(NotKept why) {
  switch (why) {
    case NotKept::kTooLarge: return platform::Utf8ToCp932("控えを保存するには大きすぎます");
    case NotKept::kNotRetrieved: return platform::Utf8ToCp932("控えを受信できませんでした");
    case NotKept::kNotSaved: return platform::Utf8ToCp932("控えを保存できませんでした");
    case NotKept::kKept: break;
  }
  return {};
}

// Retrieves message n whole into a new pending copy before it is deleted.
// `retr` gets RETR's result (POP_OK when it was not sent).
NotKept KeepCopy(CheckerState& state, int64_t n, const KeptOptions& keep,
                 std::unique_ptr<PendingCopy>& copy, PopResult& retr) {
  retr = POP_OK;
  const int64_t limit = keep.MaxMessageBytes();
  // LIST's size first, so an oversized message costs no transfer at all.
  if (state.record.size > limit) return NotKept::kTooLarge;
  copy = PendingCopy::Begin(platform::Now());
  bool too_large = false;
  retr = Retr(state.connection, n, [&](const char* data, size_t size) {
    if (!copy) return false;
    if (copy->size() + static_cast<int64_t>(size) > limit) {
      too_large = true;
      return false;
    }
    return copy->Write(data, size);
  });
  NotKept why = NotKept::kKept;
  if (retr != POP_OK) {
    why = NotKept::kNotRetrieved;
  } else if (too_large) {
    why = NotKept::kTooLarge;
  } else if (!copy || !copy->Finish()) {
    why = NotKept::kNotSaved;
  }
  if (why != NotKept::kKept) copy.reset();  // dropped
  return why;
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
      std::unique_ptr<PendingCopy> copy;
      PopResult retr = POP_OK;
      const NotKept why =
          walk.keep.enabled ? KeepCopy(state, n, walk.keep, copy, retr) : NotKept::kKept;
      PopResult dele = POP_OK;
      if (why == NotKept::kKept) dele = Dele(state.connection, n);
      if (why != NotKept::kKept) {
        // No copy, no deletion: the message stays on the server, counted
        // and marked as a refused deletion is.
        --counters.deleted;
        if (run.observer) run.observer->CopyNotKept(k, n, retr);
        if (state.connection.broken) {
          ++outcome.uncommitted;
          walk.result = StoredValue(retr);
          outcome.ended_by = retr;
          return;
        }
        ++counters.kept;
        ++outcome.kept;
        ++outcome.not_kept;
        HoldMarkerBelow(state.marker);
        WriteLogNote(judged.category, NotKeptReason(why), state.record);
      } else if (dele == POP_OK) {
        walk.deletions.push_back({judged.category, state.record.from, state.record.subject,
                                  std::move(copy), state.record.uidl});
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
int16_t SettleSession(CheckerState& state, const CheckRun& run, Walk& walk,
                      std::string_view account) {
  AccountOutcome& outcome = walk.outcome;
  PopResult quit = Quit(state.connection);
  outcome.committed = quit == POP_OK;
  int16_t result = walk.result;
  if (outcome.committed) {
    outcome.deleted += static_cast<int>(walk.deletions.size());
    if (!run.dry_run) WriteSessionLog(walk.deletions, account);
    return result;
  }
  // The server undoes every DELE of a session that did not end with +OK;
  // their copies are dropped with the walk.
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
  // Read afresh at every check, so that a change (today's mail, transports,
  // kept copies) counts from the next check on in a running checker.
  const ExtensionSettings extension = LoadExtensionSettings();
  TakeExtensionChoices(state.analysis, extension);
  TakeTransportChoices(state, extension);
  Post(state, TRAN_IDLE);
  const KeptOptions keep = KeptOptionsFrom(extension);
  if (!run.dry_run && keep.enabled) RemoveKeptLeftovers();
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
    state.connection.transport = state.transport[i];
    PopResult login = Login(state.connection, account, password, state.apop_state[i]);
    if (run.observer) run.observer->LoggedIn(k, login);
    int16_t r = StoredValue(login);
    Walk walk;
    walk.keep = keep;
    walk.keep.enabled = keep.enabled && !run.dry_run;  // a preview keeps nothing
    if (login == POP_OK) {
      bool fatal = false;
      WalkMailbox(state, run, k, walk, &fatal);
      if (fatal) {
        DropSocket(state);  // no QUIT: the server keeps everything
        ReleaseCheckBuffers(state);
        FatalError(state, kFatalNoMemory);
        return;
      }
      r = SettleSession(state, run, walk, account);
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
  // Old copies go at the end of every real check, also while keeping is
  // off, so switching it off does not leave them for ever.
  if (!run.dry_run && platform::FolderExists(KeptFolder())) {
    ApplyRetention(keep, platform::Now());
  }
}

}  // namespace zvrx
