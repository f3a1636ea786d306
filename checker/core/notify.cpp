#include "checker/core/notify.h"

#include <cstdio>
#include <cstring>

#include "checker/core/text_table.h"
#include "platform/cp932.h"
#include "platform/desktop.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "shared/records.h"
#include "shared/transfer_block.h"

namespace zvrx {

namespace {

// Report modes and launch modes as Notify numbers them.
constexpr int kReportIfAsked = 1;      // option bit 1 or bit 4
constexpr int kReportNewMailIfAsked = 2;
constexpr int kReportAlways = 3;
constexpr int kReportIfNewMail = 4;
constexpr int kLaunchAfterManual = 1;
constexpr int kLaunchAfterAutomatic = 2;
constexpr int kLaunchAlways = 3;
constexpr int kLaunchIfNewMail = 4;

constexpr uint16_t kLaunchFlagManual = 1u << 1;  // LaunchFlags bit 1 = option bit 8

constexpr int16_t kResultSuccess = -2;  // POP_OK as stored
constexpr int16_t kResultSeenOrSkipped = 1;

bool ReportFlag(int report_mode, uint16_t options, int32_t new_mail) {
  switch (report_mode) {
    case kReportIfAsked:
      return (options & (kOptAutoDialog | kOptManualReport)) != 0;
    case kReportNewMailIfAsked:
      return new_mail != 0 && (options & kOptAutoDialog) != 0;
    case kReportAlways:
      return true;
    case kReportIfNewMail:
      return new_mail != 0;
    default:
      return false;
  }
}

bool ShouldLaunch(CheckerState& state, int launch_mode, bool report, int32_t new_mail) {
  const uint16_t options = state.transfer.records.options.option_bits;
  const uint16_t launch_flags = state.transfer.records.basic.launch_flags;
  switch (launch_mode) {
    case kLaunchAfterManual: {
      // The result code if one was posted, else the last progress code.
      const int16_t code = state.transfer.local.code;
      if (code == kTranNothingToExamine) return false;
      if (code == kTranManualNewMail) return !report || AskUser(state);
      return (options & kOptManualStartMailer) != 0;
    }
    case kLaunchAfterAutomatic:
      return launch_flags != 0 && (options & kOptAutoStartMailer) != 0 && new_mail > 0;
    case kLaunchAlways:
      return launch_flags != 0;
    case kLaunchIfNewMail:
      return launch_flags != 0 && new_mail > 0;
    default:
      return false;
  }
}

// "C:\WINDOWS\ﾃﾞｽｸﾄｯﾌﾟ\" is where the desktop lay; our machines keep the
// user's desktop elsewhere, so that folder is used when the old one is absent.
std::string MailerPickFolder() {
  std::string old_desktop =
      platform::GetWindowsDirectory() + "\\" + platform::Utf8ToCp932("ﾃﾞｽｸﾄｯﾌﾟ") + "\\";
  if (platform::FolderExists(old_desktop)) return old_desktop;
  return platform::DesktopFolder();
}

// The program's folder: the path up to its last backslash.
std::string WorkingFolder(std::string_view path) {
  size_t cut = path.rfind('\\');
  if (cut == std::string_view::npos) return {};
  std::string folder(path.substr(0, cut));
  if (folder.size() == 2 && folder[1] == ':') folder += '\\';  // "C:" alone names no folder
  return folder;
}

}  // namespace

void Notify(CheckerState& state, int32_t new_mail, int sound_mode, int report_mode,
            int launch_mode) {
  const uint16_t options = state.transfer.records.options.option_bits;
  const bool sound = sound_mode == kAutomaticNotifyMode && new_mail != 0 &&
                     (options & kOptAutoSound) != 0;
  const bool report = ReportFlag(report_mode, options, new_mail);
  BuildReport(state, new_mail, sound, report);

  // Nothing left on the server to read.
  if (state.counters.examined == state.counters.deleted) return;
  if (ShouldLaunch(state, launch_mode, report, new_mail)) LaunchMailProgram(state);
}

void BuildReport(CheckerState& state, int32_t new_mail, bool sound, bool report) {
  char text[kReportTextSize] = {};
  if (report) {
    if (new_mail > 0) {
      std::snprintf(text, sizeof text, "%d%s\n", static_cast<int>(new_mail),
                    state.texts.Text(kTextReport, kReportNewMail).c_str());
    } else {
      std::snprintf(text, sizeof text, "%s\n",
                    state.texts.Text(kTextReport, kReportNoNewMail).c_str());
    }
  }
  if (sound && state.actions.play_sound) state.actions.play_sound();
  if (report) DeliverReport(state, text);
}

int16_t ManualResultCode(const CheckCounters& counters, uint16_t launch_flags) {
  if (counters.examined == 0) return kTranNothingToExamine;
  if (counters.deleted == counters.examined) return kTranCheckComplete;
  if ((launch_flags & kLaunchFlagManual) != 0 && counters.deleted < counters.examined) return kTranManualNewMail;
  return kTranNewMailRemains;
}

void DeliverReport(CheckerState& state, std::string_view text) {
  const SettingsRecords& records = state.transfer.records;
  if (records.basic.check_mode != 0) {
    // An automatic check shows its own dialog and waits for OK.
    if (state.ui != nullptr) state.ui->ShowReportDialog(text);
    return;
  }
  int configured = 0;
  for (const auto& account : records.basic.accounts) configured += account[0] != '\0';
  if (configured == 0) return;
  int failed = 0;
  for (int16_t result : state.counters.account_results) {
    failed += result != kResultSuccess && result != kResultSeenOrSkipped;
  }
  // The check cycle already reported these failures.
  if (failed > 0 && (failed == configured || configured == 1)) return;

  const CheckCounters& counters = state.counters;
  Post(state, ManualResultCode(counters, records.basic.launch_flags),
       {.p1 = 0, .p2 = HeaderCount(counters.kept), .p3 = HeaderCount(counters.examined),
        .p4 = HeaderCount(counters.deleted)});
}

std::string MailerCommandLine(const MailerSettings& mailer) {
  std::string line(mailer.mailer_path, strnlen(mailer.mailer_path, kMailerPathSize));
  size_t arguments = strnlen(mailer.mailer_arguments, kMailerArgumentsSize);
  if (arguments > 0) line += " " + std::string(mailer.mailer_arguments, arguments);
  return line;
}

void LaunchMailProgram(CheckerState& state) {
  MailerSettings& mailer = state.transfer.records.mailer;
  if (mailer.mailer_path[0] == '\0') {
    if (state.ui == nullptr) return;
    std::string chosen = state.ui->PickMailProgram(MailerPickFolder());
    // A path that does not fit the field is no choice: cut, it would name
    // another program.
    if (chosen.empty() || chosen.size() >= kMailerPathSize) return;
    // Kept in memory only; the settings program saves the choice.
    std::memset(mailer.mailer_path, 0, kMailerPathSize);
    std::memcpy(mailer.mailer_path, chosen.data(), chosen.size());
  }
  const std::string command_line = MailerCommandLine(mailer);
  const std::string folder =
      WorkingFolder(std::string_view(mailer.mailer_path, strnlen(mailer.mailer_path, kMailerPathSize)));
  if (!state.actions.start_program) return;
  for (int attempt = 0; attempt < kMailerStartTries; ++attempt) {
    if (state.actions.start_program(command_line, folder) != -1) return;
  }
}

}  // namespace zvrx
