// The checker's one explicit state: everything the worker thread loads,
// checks with and reports through. The program makes one and passes it by
// reference; tests and zvrxctl make their own.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "checker/analysis/analysis_state.h"
#include "checker/analysis/check_counters.h"
#include "checker/analysis/mail_record.h"
#include "checker/analysis/marker.h"
#include "checker/analysis/to_shift_jis.h"
#include "checker/core/checker_ui.h"
#include "checker/core/pop3_client.h"
#include "checker/core/text_table.h"
#include "shared/transfer_checker.h"

namespace zvrx {

// What the notifications set off outside the process; tests replace them.
struct CheckerActions {
  std::function<void()> play_sound;  // PlayArrivalSound
  // platform::StartProgram: command line and working folder, pid or -1.
  std::function<int(std::string_view, std::string_view)> start_program;
};
CheckerActions RealCheckerActions();

struct CheckerState {
  CheckerState();
  CheckerState(const CheckerState&) = delete;
  CheckerState& operator=(const CheckerState&) = delete;

  // "C:\Program Files\ZVRX\" as the prefix in force made it.
  std::string install_root;
  TextTable texts;

  // The block, the local header, the StatusLock and the settings in memory
  // (transfer.records; LaunchFlags is records.basic.launch_flags).
  CheckerTransfer transfer;
  bool have_judgment_settings = false;  // "ZVdi128" was found at start-up

  int16_t apop_state[kAccountCount] = {};  // per account: 0 unknown, 1 APOP, -1 USER/PASS
  // Per account, from ZVRXExt.ini: every check takes them from its reading
  // of the file (RunCheck); a state no check has run with speaks plain POP3.
  TransportChoice transport[kAccountCount] = {TransportChoice::kPlain, TransportChoice::kPlain,
                                              TransportChoice::kPlain};
  CheckCounters counters;                  // busy is counters.busy
  PopConnection connection;
  AnalysisState analysis;
  ShiftJisConverter converter;
  BodyBuffer body;
  MailRecord record{};
  MarkerWalk marker;

  uint32_t last_check_time = 0;  // LastCheckTime, in PackedMinutes
  bool startup_check_pending = false;  // StartupCheckPending
  // A due check that found another program checking this machine's mail:
  // it is due again at every pass until it has run.
  bool check_deferred = false;
  bool data_problems_shown = false;  // the refused-data notice of this start

  CheckerUi* ui = nullptr;  // the windows; null shows nothing
  CheckerActions actions;

  // Set by FatalError or by the program's shutdown: the scheduler leaves
  // its loop at the next pass and nothing new is started.
  std::atomic<bool> stop{false};
  std::atomic<int> fatal_error{0};  // the fatal message shown, 0 while none
};

// One check of a machine's mailboxes at a time: ZVRX and zvrxctl check
// hold this lock for the whole of a check.
inline constexpr char kCheckLockName[] = "ZvrxCheck";

// Fatal messages of group 128.
inline constexpr int kFatalNoNetwork = 1;
inline constexpr int kFatalNoMemory = 2;
inline constexpr int kFatalNotInstalled = 3;
inline constexpr int kFatalNoDataFolder = 4;
inline constexpr int kFatalNoBasicSettings = 5;

// Shows the fatal text (group 128, `id`) and ends the program: asks the
// windows to quit and stops the worker. Callers return at once after it.
void FatalError(CheckerState& state, int id);

// Posts the local header unless a delivery waits in the block: a delivery
// made during a check must survive until the scheduler takes it, since the
// settings program believes it was delivered.
void PostStatus(CheckerState& state);

// A count as a 16-bit header argument: beyond the range it shows as the
// largest value instead of wrapping to a negative one.
int16_t HeaderCount(int32_t count);

// The arguments a post names; the others keep what the local header held.
struct PostArgs {
  std::optional<int16_t> p1 = {};
  std::optional<int16_t> p2 = {};
  std::optional<int16_t> p3 = {};
  std::optional<int16_t> p4 = {};
};

// Sets the local header's code and the named arguments, then PostStatus.
void Post(CheckerState& state, int16_t code, const PostArgs& args = {});

// The yes/no question after code 210; no without asking when a delivery
// waits (the user saved settings instead of answering).
bool AskUser(CheckerState& state);

}  // namespace zvrx
