#include "platform/file_copy.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "platform/drives.h"
#include "platform/files.h"

namespace zvrx::platform {

namespace {

constexpr mode_t kPermissionBits = 0777;  // never setuid, setgid or sticky on a copy
constexpr mode_t kNewFolderMode = 0755;

}  // namespace

bool CopyWholeFile(std::string_view from, std::string_view to) {
  struct stat source;
  if (stat(HostPath(from).c_str(), &source) != 0 || !S_ISREG(source.st_mode)) return false;
  std::optional<std::vector<char>> bytes = ReadFileBytes(from);
  if (!bytes) return false;
  if (!WriteFileBytes(to, bytes->data(), bytes->size())) return false;
  return chmod(HostPath(to).c_str(), source.st_mode & kPermissionBits) == 0;
}

bool CreateFolderPath(std::string_view path) {
  std::string host = HostPath(path);
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  if (host.empty()) return false;
  struct stat info;
  if (stat(host.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  // Each parent in turn, from the top.
  for (size_t at = host.find('/', 1); at != std::string::npos; at = host.find('/', at + 1)) {
    const std::string parent = host.substr(0, at);
    if (mkdir(parent.c_str(), kNewFolderMode) != 0 && errno != EEXIST) return false;
  }
  if (mkdir(host.c_str(), kNewFolderMode) != 0 && errno != EEXIST) return false;
  return stat(host.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsRunnableFile(std::string_view path) {
  struct stat info;
  return stat(HostPath(path).c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         (info.st_mode & 0111) != 0;
}

}  // namespace zvrx::platform
