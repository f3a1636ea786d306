// The user's desktop folder (the registry's "Desktop" value on Windows):
// where file dialogs start.
#pragma once

#include <string>

namespace zvrx::platform {

// XDG_DESKTOP_DIR from $XDG_CONFIG_HOME/user-dirs.dirs (or
// ~/.config/user-dirs.dirs), else ~/Desktop; as a Windows path (Z:\...).
// The folder need not exist.
std::string DesktopFolder();

}  // namespace zvrx::platform
