// The window layer's test channels (ZVRX_UI_CONTROL, ZVRX_UI_ANSWERS,
// ZVRX_UI_GRAB_DIR) belong to the program they were given to. A program
// that starts another one of the suite calls this first, so that the child
// neither takes over the control socket nor presses the parent's answers.
// The transcript (ZVRX_UI_TRANSCRIPT) is kept: children append to it.
#pragma once

namespace zvrx::platform::ui {

void KeepTestChannelsFromChildren();

}  // namespace zvrx::platform::ui
