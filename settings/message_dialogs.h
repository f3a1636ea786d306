// The program's four message dialogs: every message, question and report
// is shown in one of them instead of a standard message box.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/window.h"
#include "settings/model/message_layout.h"
#include "settings/settings_state.h"

namespace zvrx {

enum class MessageDialogKind {
  kOk,           // "IDD_DIALOGOK": four lines, "はい"
  kNotice,       // 116: three lines, exclamation icon, "はい"
  kYesNo,        // "IDD_DIALOGOK_NO": five lines, "はい"/"いいえ", Escape ignored
  kYesNoCancel,  // "IDD_DIALOGOK_NO_CANCEL": one field, icon, three buttons
};

// The message buffer's size; longer texts are cut (never half a character).
inline constexpr size_t kMessageTextSize = 200;

// DialogResult values of the question dialogs.
inline constexpr int kResultYes = 6;
inline constexpr int kResultNo = 7;
inline constexpr int kResultCancel = 2;

// Shows the dialog modally with `text` (cut to the buffer) and returns the
// DialogResult (6, 7 or 2) for the question dialogs, kIdOk for the others.
// `owner` null centres it on the screen.
int ShowMessageDialog(SettingsState& state, MessageDialogKind kind, std::string_view text,
                      const platform::ui::PixelRect* owner);

// The save question of a page: its name followed by message 200, in the
// three-button dialog. Returns kResultYes, kResultNo or kResultCancel.
int AskSaveQuestion(SettingsState& state, std::string_view page_name_cp932,
                    const platform::ui::PixelRect* owner);

}  // namespace zvrx
