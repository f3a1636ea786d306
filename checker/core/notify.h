// What the user learns after a check: the arrival sound, the report (a
// dialog after an automatic check, a result code for the settings program
// after a manual one) and the start of the mail program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "checker/core/checker_state.h"

namespace zvrx {

inline constexpr int kReportTextSize = 300;
inline constexpr int kMailerStartTries = 3;

// The modes an automatic check passes to Notify; a manual check passes the
// three groups of the option word instead.
inline constexpr int kAutomaticNotifyMode = 2;

// All notifications after a check that kept `new_mail` messages.
void Notify(CheckerState& state, int32_t new_mail, int sound_mode, int report_mode,
            int launch_mode);

// The report text ("3通のメールがサーバに届いています。\n" or the no-mail line),
// then the sound, then the report.
void BuildReport(CheckerState& state, int32_t new_mail, bool sound, bool report);

// The dialog of an automatic check, or the result code of a manual one.
void DeliverReport(CheckerState& state, std::string_view text);

// The result code a manual check posts: 220 nothing examined, 221 all
// deleted, 210 new mail and the mail program may start, else 222.
int16_t ManualResultCode(const CheckCounters& counters, uint16_t launch_flags);

// The command line the mail program is started with.
std::string MailerCommandLine(const MailerSettings& mailer);

// Starts the mail program, first letting the user pick one when none is set.
void LaunchMailProgram(CheckerState& state);

}  // namespace zvrx
