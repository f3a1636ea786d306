// Message boxes (MessageBox): a caption, a CP932 text, the buttons and icon
// of the style bits; the result is the id of the button pressed.
#pragma once

#include <string_view>

#include "platform/ui/transcript.h"

namespace zvrx::platform::ui {

inline constexpr unsigned kMbOk = 0x0;
inline constexpr unsigned kMbOkCancel = 0x1;
inline constexpr unsigned kMbYesNoCancel = 0x3;
inline constexpr unsigned kMbYesNo = 0x4;
inline constexpr unsigned kMbIconStop = 0x10;
inline constexpr unsigned kMbIconQuestion = 0x20;
inline constexpr unsigned kMbIconExclamation = 0x30;
inline constexpr unsigned kMbIconInformation = 0x40;
inline constexpr unsigned kMbSystemModal = 0x1000;
inline constexpr unsigned kMbDefButton2 = 0x100;  // the second button is the default

// Shows the box on the main thread (callers on other threads go through
// RunOnMainThread) and returns kIdOk, kIdCancel, kIdYes or kIdNo.
int MessageBox(std::string_view text, std::string_view caption, unsigned style);

}  // namespace zvrx::platform::ui
