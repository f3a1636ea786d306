// A throw-away emulated machine for one test: a temporary folder that
// becomes the platform prefix (C: is <folder>/drive_c) and is removed again.
#pragma once

#include <string>

namespace zvrx::test {

class TempPrefix {
 public:
  // Creates the folder and makes it the prefix. With `with_data_folder`,
  // also creates C:\WINDOWS and the install root with its data folder.
  explicit TempPrefix(bool with_data_folder = true);
  ~TempPrefix();
  TempPrefix(const TempPrefix&) = delete;
  TempPrefix& operator=(const TempPrefix&) = delete;

  // Host path (UTF-8) of the prefix.
  const std::string& path() const { return path_; }
  // Host path of the data folder "drive_c/Program Files/ZVRX/Zvrx Staffs".
  std::string DataFolderHost() const;
  // Host path of the install root "drive_c/Program Files/ZVRX".
  std::string InstallRootHost() const;

  // Copies the build's delivered data ("Installer Resources/Method" and
  // "Installer Resources/Zvrx Staffs") into this machine; with
  // `method_only`, the dictionaries alone. False when the build has none.
  bool InstallDeliveredData(bool method_only = false) const;

 private:
  std::string path_;
  std::string old_prefix_;
  std::string old_cwd_;
};

// Writes a host file (creating parent folders); for fixtures.
void WriteHostFile(const std::string& host_path, const std::string& bytes);
// Reads a host file whole; empty when missing.
std::string ReadHostFile(const std::string& host_path);

}  // namespace zvrx::test
