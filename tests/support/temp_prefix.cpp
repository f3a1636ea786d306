#include "tests/support/temp_prefix.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/drives.h"
#include "platform/shared_memory.h"

namespace zvrx::test {

namespace fs = std::filesystem;

TempPrefix::TempPrefix(bool with_data_folder) {
  std::string pattern = (fs::temp_directory_path() / "zvrx-test-XXXXXX").string();
  char* made = mkdtemp(pattern.data());
  path_ = made ? made : pattern;
  old_prefix_ = platform::Prefix();
  std::error_code ec;
  old_cwd_ = fs::current_path(ec).string();
  fs::create_directories(fs::path(path_) / "drive_c" / "WINDOWS", ec);
  if (with_data_folder) fs::create_directories(DataFolderHost(), ec);
  platform::SetPrefix(path_);
}

TempPrefix::~TempPrefix() {
  std::error_code ec;
  if (!old_cwd_.empty()) fs::current_path(old_cwd_, ec);
  // Checkers the test killed leave their transfer blocks behind.
  platform::RemoveStaleSharedMemory();
  platform::SetPrefix(old_prefix_);
  fs::remove_all(path_, ec);
}

std::string TempPrefix::InstallRootHost() const {
  return path_ + "/drive_c/Program Files/ZVRX";
}

bool TempPrefix::InstallDeliveredData(bool method_only) const {
  const fs::path dist = fs::path(ZVRX_BINARY_DIR) / "Installer Resources";
  std::error_code ec;
  if (!fs::is_directory(dist / "Method", ec)) return false;
  const auto options = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
  fs::copy(dist / "Method", InstallRootHost() + "/Method", options, ec);
  if (!ec && !method_only) fs::copy(dist / "Zvrx Staffs", DataFolderHost(), options, ec);
  return !ec;
}

std::string TempPrefix::DataFolderHost() const { return InstallRootHost() + "/Zvrx Staffs"; }

void WriteHostFile(const std::string& host_path, const std::string& bytes) {
  std::error_code ec;
  fs::create_directories(fs::path(host_path).parent_path(), ec);
  std::ofstream out(host_path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadHostFile(const std::string& host_path) {
  std::ifstream in(host_path, std::ios::binary);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

}  // namespace zvrx::test
