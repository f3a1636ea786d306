// The options page (dialog 107, class "OptionSetei"): how the checker tells
// the user about new mail and check results, and which mail program it
// starts. Edits NotifyOptions and MailerSettings and keeps the launch flags
// of BasicSettings in step.
#pragma once

#include <memory>

#include "settings/pages/page_window.h"
#include "settings/settings_state.h"

namespace zvrx {

// Control ids of dialog 107 besides the option boxes (option_bits.h).
inline constexpr int kIdMailerName = 1046;
inline constexpr int kIdChooseMailer = 1045;
inline constexpr int kIdMailerArguments = 1056;
inline constexpr int kIdClearMailer = 1047;
// Keep a copy of each message before it is deleted ("keep_deleted" of the
// extension settings file, saved with the page's other settings).
inline constexpr int kIdKeepCopiesBox = 1096;

std::unique_ptr<Page> MakeOptionsPage(SettingsState& state);

}  // namespace zvrx
