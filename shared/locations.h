// The install root and the data folder, computed the same way by every
// program: the Windows directory cut after its first backslash (the drive
// root), then "Program Files\ZVRX\", then "Zvrx Staffs\".
#pragma once

#include <string>

namespace zvrx {

inline constexpr char kInstallSubfolder[] = "Program Files\\ZVRX\\";
inline constexpr char kDataSubfolder[] = "Zvrx Staffs\\";
inline constexpr char kMethodSubfolder[] = "Method\\";

// "C:\Program Files\ZVRX\" (CP932, ends in a backslash).
std::string InstallRoot();
// "C:\Program Files\ZVRX\Zvrx Staffs\" (ends in a backslash).
std::string DataFolder();
// "C:\Program Files\ZVRX\Method\" (ends in a backslash).
std::string MethodFolder();

// The same rule from a given Windows directory, for tests.
std::string InstallRootOf(const std::string& windows_directory);

}  // namespace zvrx
