// Starting programs from a Windows command line (WinExec / CreateProcess).
#pragma once

#include <string_view>

namespace zvrx::platform {

// Splits the command line into the program (quoted, or up to the first
// blank) and its arguments, maps the program path, and starts it with
// posix_spawn. A program path without extension that does not exist is
// tried again with ".exe", as Windows does. `working_folder` (a Windows
// path) is the child's current folder; empty keeps ours. Returns the
// child's pid, or -1 when it could not be started. The child is reaped in
// the background.
int StartProgram(std::string_view command_line, std::string_view working_folder = {});

}  // namespace zvrx::platform
