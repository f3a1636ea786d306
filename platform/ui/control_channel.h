// Inside the window layer only: the test and tool channel of ZVRX_UI_CONTROL.
// A Unix-domain stream socket; each request line gets one reply line:
//   click <dialog id> <control id>          -> ok
//   type <dialog id> <control id> <text>    -> ok   (UTF-8; \n \t \\ escaped)
//   choose <dialog id> <control id> <index> -> ok
//   text <dialog id> <control id>           -> ok <text, escaped>
//   enabled <dialog id> <control id>        -> ok 0|1
//   command <window class> <command id>     -> ok   (a menu command)
//   close <window class>                    -> ok
//   grab <window class> <png path>          -> ok
//   select <dialog id> <control id> <index> -> ok   (a click on a list item)
//   grabdialog <dialog id> <png path>       -> ok
//   frames                                  -> ok <open window classes>
//   dialogs                                 -> ok <open dialog ids>
// and "error <reason>" otherwise. A dialog is named by its template id (the
// latest open one). Actions are answered first and then done, so an action
// that opens a modal dialog leaves the channel free to answer it.
#pragma once

#include <string>
#include <string_view>

namespace zvrx::platform::ui {

// Listens at `path` from the main thread's loop; false when it cannot.
bool StartControlChannel(const std::string& path);

// One request handled: its reply line (without the line feed). Main thread.
std::string HandleControlRequest(std::string_view line);

}  // namespace zvrx::platform::ui
