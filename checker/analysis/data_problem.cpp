#include "checker/analysis/data_problem.h"

#include "platform/files.h"

namespace zvrx {

std::string UnreadableReason(const std::string& windows_path) {
  if (platform::FolderExists(windows_path)) return "damaged (a folder, not a file)";
  if (!platform::FileExists(windows_path)) return "missing";
  return "damaged (unreadable)";
}

}  // namespace zvrx
