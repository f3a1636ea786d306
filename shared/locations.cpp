#include "shared/locations.h"

#include "platform/drives.h"

namespace zvrx {

std::string InstallRootOf(const std::string& windows_directory) {
  // Everything up to and including the first backslash: "C:\".
  size_t cut = windows_directory.find('\\');
  std::string root = cut == std::string::npos ? windows_directory + "\\"
                                              : windows_directory.substr(0, cut + 1);
  return root + kInstallSubfolder;
}

std::string InstallRoot() { return InstallRootOf(platform::GetWindowsDirectory()); }

std::string DataFolder() { return InstallRoot() + kDataSubfolder; }

std::string MethodFolder() { return InstallRoot() + kMethodSubfolder; }

}  // namespace zvrx
