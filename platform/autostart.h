// The desktop's autostart entry (the Startup folder of a Linux desktop): a
// file in $XDG_CONFIG_HOME/autostart/ (default ~/.config/autostart/) that
// starts a program of this machine at login, with this prefix. Its name
// carries a hash of the prefix, so each prefix has its own entry.
#pragma once

#include <string>
#include <string_view>

namespace zvrx::platform {

// Host path of this prefix's entry (whether or not it exists).
std::string AutostartEntryPath();

// Writes the entry that starts `program` (a Windows path), creating the
// autostart folder when missing. True when the whole entry was written.
bool WriteAutostartEntry(std::string_view program);

// Deletes the entry; true when it is gone afterwards.
bool RemoveAutostartEntry();

// One argument of an entry's Exec line, quoted and escaped as the desktop
// entry rules want (the quoting rules of Exec, then those of a string value).
std::string ExecArgument(std::string_view utf8);

}  // namespace zvrx::platform
