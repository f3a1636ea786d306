// The drive table: Windows-style CP932 paths inside the programs, POSIX
// UTF-8 paths at the system-call boundary.
//
//   C:  ->  <prefix>/drive_c      (prefix: $ZVRX_PREFIX, default ~/.zvrx)
//   Z:  ->  /                     (the host's own files)
//
// The prefix is process-wide, like the machine a Windows program runs on.
// Tests give each test its own prefix.
//
// Names keep their case: the host's file system is case-sensitive, so
// "C:\X\zvmi128" and "C:\X\ZVmi128" are different files here. Only
// ListFolder patterns match letters without regard to case. Each name is
// converted from CP932 to UTF-8 on its own; a double-byte character whose
// second byte is 0x5C is part of its name, never a separator. ".." stops at
// the drive's root.
#pragma once

#include <string>
#include <string_view>

namespace zvrx::platform {

// $ZVRX_PREFIX if set and not empty, else $HOME/.zvrx.
std::string DefaultPrefix();

// Sets the host folder of the emulated machine (absolute UTF-8 path).
void SetPrefix(std::string_view host_prefix);
const std::string& Prefix();

// "C:\WINDOWS" (CP932).
std::string GetWindowsDirectory();

// Windows path (CP932, '\' or '/' separators, optional drive letter) to a
// host path (UTF-8). A relative path stays relative (to the process's
// current folder); a drive-relative "\x" path takes the current drive.
// Unknown drives map under <prefix>/drive_<letter>.
std::string HostPath(std::string_view windows_path);

// Host path (UTF-8, absolute) back to a Windows path (CP932): under
// <prefix>/drive_c it is a C: path, anything else a Z: path.
std::string WindowsPath(std::string_view host_path);

// SetCurrentDirectory / GetCurrentDirectory: the process's current folder,
// as Windows paths. Setting fails (false) when the folder does not exist.
bool SetCurrentDirectory(std::string_view windows_path);
std::string GetCurrentDirectory();

}  // namespace zvrx::platform
