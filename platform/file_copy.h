// Copying a file whole and making a folder with its parents, for the
// installer. Windows paths (CP932), as everywhere in the programs.
#pragma once

#include <string_view>

namespace zvrx::platform {

// Reads `from` whole and writes it to `to` (replacing it), keeping the
// source's permission bits so that a program stays runnable. False when the
// source cannot be read or the target not written completely.
bool CopyWholeFile(std::string_view from, std::string_view to);

// Creates the folder and every missing parent; true when it exists afterwards.
bool CreateFolderPath(std::string_view path);

// Whether the file may be run (any execute bit set).
bool IsRunnableFile(std::string_view path);

}  // namespace zvrx::platform
