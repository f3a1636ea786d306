// Requests for a program's control socket (tests/support/ui_control.h),
// built from the programs' own dialog, control and command ids so that an
// end-to-end test reads as which control it presses. The program headers
// are gathered here, so a test includes this one file.
#pragma once

#include <string>

#include "install/app/installer_dialogs.h"
#include "platform/ui/transcript.h"
#include "settings/pages/basic_page.h"
#include "settings/pages/judgment_page.h"
#include "settings/pages/list_page.h"
#include "settings/app/main_frame.h"
#include "settings/settings_state.h"

namespace zvrx::test {

inline std::string ControlRequest(const char* verb, int dialog, int control) {
  return std::string(verb) + " " + std::to_string(dialog) + " " + std::to_string(control);
}

inline std::string ClickRequest(int dialog, int control) {
  return ControlRequest("click", dialog, control);
}
// Answered "ok <text>".
inline std::string TextRequest(int dialog, int control) {
  return ControlRequest("text", dialog, control);
}
// Answered "ok 1" or "ok 0".
inline std::string EnabledRequest(int dialog, int control) {
  return ControlRequest("enabled", dialog, control);
}
// Types `text` into the control as a person would.
inline std::string TypeRequest(int dialog, int control, const std::string& text) {
  return ControlRequest("type", dialog, control) + " " + text;
}
// A menu or accelerator command sent to the frame window `frame`.
inline std::string CommandRequest(const std::string& frame, int command) {
  return "command " + frame + " " + std::to_string(command);
}

}  // namespace zvrx::test
