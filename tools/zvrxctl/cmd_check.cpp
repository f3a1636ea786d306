// zvrxctl check: one check of the configured accounts with the checker's
// own cycle and judgment, for a terminal. It never creates the transfer
// block, so it runs with or without a checker and leaves a running one's
// block alone. --dry-run walks and judges the same way but deletes nothing
// and writes neither the work log nor the last-seen markers.
#include <cstdio>
#include <string>
#include <string_view>

#include "checker/analysis/judgment.h"
#include "checker/core/check_cycle.h"
#include "checker/core/checker_state.h"
#include "checker/core/checker_ui.h"
#include "checker/core/configuration.h"
#include "checker/core/fetch_and_parse.h"
#include "platform/cp932.h"
#include "platform/named_lock.h"
#include "tools/zvrxctl/commands.h"

namespace zvrx::ctl {

namespace {

// Header text from a server: control bytes could move the terminal's
// cursor or change its state, so they are shown as '?'.
std::string Printable(std::string_view cp932) {
  std::string text = platform::Cp932ToUtf8(cp932);
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return text;
}

const char* FailureReason(PopResult result) {
  switch (result) {
    case POP_PASS_REJECTED: return "the server did not accept the password";
    case POP_USER_REJECTED: return "the server did not accept the user name";
    case POP_NO_AT_SIGN: return "the account has no '@' (or its user name is too long)";
    case POP_NO_HOST: return "the server's host name was not found";
    case POP_CONNECT_FAILED: return "the server could not be reached";
    case POP_SOCKET_ERROR: return "the connection failed";
    case POP_BAD_GREETING: return "the server's greeting was not +OK";
    case POP_COMMAND_FAILED: return "the server refused a command";
    case POP_NO_TIMESTAMP: return "the server offered no APOP time stamp";
    case POP_CLOSED: return "the server closed the connection";
    case POP_TIMED_OUT: return "the server did not answer in time";
    case POP_BAD_REPLY: return "the server's reply was not a POP3 reply";
    case POP_TLS_UNTRUSTED:
      return "the server's certificate is not trusted (a private authority can be trusted "
             "through SSL_CERT_FILE); nothing was sent";
    case POP_TLS_WRONG_HOST:
      return "the server's certificate is for another host name; nothing was sent";
    case POP_TLS_FAILED:
      return "no TLS connection could be made (the server dropped the handshake or speaks "
             "no TLS on this port); nothing was sent";
    case POP_NO_STLS:
      return "the server does not offer STLS; nothing was sent (zvrxctl tls N tls for "
             "TLS from the start, e.g. port 995)";
    case POP_PLAIN_REFUSED:
      return "the server offers no TLS (neither port 995 nor STLS) and is not on this "
             "machine, so the password would cross the network in clear text; nothing was "
             "sent (to allow it: zvrxctl tls N plain)";
    default: return "unknown failure";
  }
}

// Fatal messages go to standard error; nothing here shows a window.
class ConsoleUi : public CheckerUi {
 public:
  void ShowFatalMessage(std::string_view text) override {
    std::fflush(stdout);
    std::fprintf(stderr, "zvrxctl: %s\n", platform::Cp932ToUtf8(text).c_str());
  }
  void ShowReportDialog(std::string_view text) override {
    std::printf("%s", platform::Cp932ToUtf8(text).c_str());
  }
  std::string PickMailProgram(std::string_view) override { return {}; }
  void RequestQuit() override {}
};

class ConsoleObserver : public CheckObserver {
 public:
  ConsoleObserver(bool dry_run, const PopConnection& connection)
      : dry_run_(dry_run), connection_(connection) {}

  void AccountStarted(int k, std::string_view account) override {
    std::printf("account %d (%s): logging in\n", k, Printable(account).c_str());
    std::fflush(stdout);
  }
  void LoggedIn(int k, PopResult result) override {
    login_failed_[k - 1] = result != POP_OK;
    if (result == POP_OK) return;
    std::printf("account %d: login failed: %s\n", k, FailureReason(result));
    if ((result == POP_TLS_UNTRUSTED || result == POP_TLS_WRONG_HOST ||
         result == POP_TLS_FAILED) && !connection_.tls_detail.empty()) {
      std::printf("account %d: TLS: %s\n", k, Printable(connection_.tls_detail).c_str());
    }
  }
  void MailboxCounted(int k, int64_t total) override {
    std::printf("account %d: %lld message%s on the server\n", k, static_cast<long long>(total),
                total == 1 ? "" : "s");
    std::fflush(stdout);
  }
  void MessageJudged(int /*k*/, int64_t number, const MailRecord& record,
                     const JudgmentResult& result) override {
    const bool remove = result.verdict == kVerdictDelete;
    // A deletion is final only when the server accepts QUIT; the account's
    // line says whether it did.
    const char* verdict = remove ? (dry_run_ ? "would delete" : "deleting")
                                 : (dry_run_ ? "would keep" : "kept");
    std::printf("  message %lld: %s", static_cast<long long>(number), verdict);
    if (remove) std::printf(" (%s)", Printable(result.category).c_str());
    std::printf("\n    From: %s\n    Subject: %s\n", Printable(record.from).c_str(),
                Printable(record.subject).c_str());
    std::fflush(stdout);
  }
  void DeleteFailed(int /*k*/, int64_t number, PopResult result) override {
    if (result == POP_COMMAND_FAILED) {
      std::printf("  message %lld: the server refused to delete it; kept, to be judged again\n",
                  static_cast<long long>(number));
    } else {
      std::printf("  message %lld: not deleted: %s\n", static_cast<long long>(number),
                  FailureReason(result));
    }
  }
  void CopyNotKept(int /*k*/, int64_t number, PopResult retr) override {
    if (retr == POP_OK) {
      std::printf("  message %lld: not deleted: its copy could not be kept (too large, or not"
                  " saved); it stays on the server\n",
                  static_cast<long long>(number));
    } else {
      std::printf("  message %lld: not deleted: it could not be retrieved for its copy (%s)\n",
                  static_cast<long long>(number), FailureReason(retr));
    }
  }
  void AccountFinished(int k, int16_t result, const AccountOutcome& outcome) override {
    const bool done = result == StoredValue(POP_OK) || result == kAlreadySeenCode;
    if (!done) any_failed_ = true;
    if (login_failed_[k - 1]) return;  // its reason was shown
    std::printf("account %d: examined %d, kept %d, deleted %d", k, outcome.examined, outcome.kept,
                outcome.deleted);
    if (outcome.refused > 0) {
      std::printf(" (the server refused to delete %d)", outcome.refused);
    }
    if (outcome.not_kept > 0) {
      std::printf(" (%d left on the server: no copy could be kept)", outcome.not_kept);
    }
    if (result == kAlreadySeenCode) {
      std::printf(" (stopped at mail seen by an earlier check)");
    } else if (!done) {
      std::printf(" (the check failed: %s", FailureReason(outcome.ended_by));
      if (!dry_run_ && !outcome.committed && outcome.uncommitted > 0) {
        std::printf("; nothing was deleted, the server keeps every message");
      } else if (outcome.committed) {
        std::printf("; older mail was not examined");
      }
      std::printf(")");
    } else if (!outcome.walk_complete) {
      std::printf(" (older mail was not examined: one check examines at most %lld messages)",
                  static_cast<long long>(kWalkLimit));
    }
    std::printf("\n");
  }

  bool AnyFailed() const { return any_failed_; }

 private:
  bool dry_run_;
  const PopConnection& connection_;
  bool any_failed_ = false;
  bool login_failed_[kAccountCount] = {};
};

}  // namespace

int RunCheck(const Args& args) {
  bool dry_run = false;
  for (const std::string& arg : args) {
    if (arg == "--dry-run") {
      dry_run = true;
    } else {
      return Fail("check: unknown argument " + arg);
    }
  }

  // One check per machine: a second one would delete and log the same mail.
  auto check_lock = platform::NamedLock::Acquire(kCheckLockName, 0);
  if (!check_lock) {
    std::fprintf(stderr, "zvrxctl: check: a check is running on this machine; try again later\n");
    return 1;
  }

  CheckerState state;
  ConsoleUi ui;
  state.ui = &ui;
  if (!LoadConfiguration(state)) return 2;  // the fatal text was printed
  if (state.transfer.records.basic.account_mask == 0) {
    return Fail("check: no account is enabled (zvrxctl account N USER@HOST PASS)");
  }
  if (dry_run) std::printf("dry run: nothing is deleted, logged or marked\n");

  ConsoleObserver observer(dry_run, state.connection);
  zvrx::RunCheck(state, CheckRun{.dry_run = dry_run, .observer = &observer});
  if (state.fatal_error != 0) return 2;

  const CheckCounters& counters = state.counters;
  std::printf("total: examined %d, kept %d, %s %d\n", counters.examined, counters.kept,
              dry_run ? "would delete" : "deleted", counters.deleted);
  if (std::fflush(stdout) != 0) return 2;
  // An account whose check failed (login, a lost connection, a QUIT the
  // server did not accept) makes the whole check fail.
  return observer.AnyFailed() ? 1 : 0;
}

}  // namespace zvrx::ctl
