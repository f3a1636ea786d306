// What whole-program tests see of the windows: every modal dialog shown
// writes one line to the file named by ZVRX_UI_TRANSCRIPT, and the answers
// listed in ZVRX_UI_ANSWERS are pressed in order instead of waiting for a
// person. Without these variables nothing changes.
//
// A transcript line is "KIND<TAB>CAPTION<TAB>TEXT" in UTF-8, KIND being
// "dialog <template id>", "messagebox" or "fileopen"; a line feed, tab or
// backslash inside CAPTION or TEXT is written as \n, \t or \\.
// ZVRX_UI_ANSWERS is a comma-separated list of button names (OK, CANCEL,
// ABORT, RETRY, IGNORE, YES, NO) or, for a file dialog, a file path.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zvrx::platform::ui {

// Button ids, as dialog results and commands.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdAbort = 3;
inline constexpr int kIdRetry = 4;
inline constexpr int kIdIgnore = 5;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// Appends one line; caption and text are CP932.
void WriteTranscript(std::string_view kind, std::string_view caption, std::string_view text);

// The next scripted answer, taken off the list; none when no script is set
// or the script is used up.
std::optional<std::string> NextScriptedAnswer();

// Replaces the script of ZVRX_UI_ANSWERS (and what is left of it) with
// `answers`, for tests that run dialogs in their own process.
void SetScriptedAnswers(std::vector<std::string> answers);

class Dialog;

// Called with every modal dialog built from a template once it is up,
// before a scripted answer is pressed; lets a test look at it or act on
// it. An empty function turns it off.
void SetModalObserver(std::function<void(Dialog&)> observer);
const std::function<void(Dialog&)>& ModalObserver();

// The id of a button name ("OK" -> kIdOk, any case); 0 for anything else.
int ButtonIdOf(std::string_view name);

}  // namespace zvrx::platform::ui
