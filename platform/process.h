// Starting programs from a Windows command line (WinExec / CreateProcess).
#pragma once

#include <string_view>

namespace zvrx::platform {

// Starts a program from a command line, as WinExec does:
// - A quoted program ("C:\Program Files\X\Y.exe" a b) is taken as it stands.
//   An unquoted one is tried up to the first blank, then up to each further
//   blank, then as the whole line; the first that names a file wins, so
//   C:\Program Files\X\Y.exe needs no quotes when C:\Program is no program.
// - A program name without extension that does not exist is tried again
//   with ".exe"; a missing "X.exe" is tried again as "X", because our own
//   programs carry no extension on the host.
// - The rest of the line is split at blanks; double quotes group blanks into
//   one argument and are removed; arguments go to the child in UTF-8 and are
//   not mapped as paths.
// `working_folder` (a Windows path) is the child's current folder; empty
// keeps ours, a missing one fails. Returns the child's pid, or -1 when it
// could not be started. The child is reaped in the background.
int StartProgram(std::string_view command_line, std::string_view working_folder = {});

}  // namespace zvrx::platform
