#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/cp932.h"
#include "platform/drives.h"
#include "platform/path_split.h"
#include "platform/retry.h"
#include "platform/unique_fd.h"

namespace zvrx::platform {
namespace {

constexpr mode_t kNewFileMode = 0644;
constexpr mode_t kPrivateFileMode = 0600;
constexpr mode_t kNewFolderMode = 0755;
// The emulated machine holds the passwords, lists, log and markers: its
// files are its owner's alone, as the mail tools keep theirs.
constexpr mode_t kPrivateFolderMode = 0700;
constexpr mode_t kOthersBits = 077;
constexpr size_t kMaxNameBytes = 255;      // NAME_MAX of the host's file systems
constexpr size_t kTempSuffixLength = 13;   // "." + ".zvrx-XXXXXX"

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = RetryOnInterrupt([&] { return write(fd, data, size); });
    if (written < 0) return false;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

std::string ParentOf(const std::string& host) {
  size_t slash = host.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return host.substr(0, slash);
}

// Writing through a link replaces what it points at, not the link itself.
std::string ResolveLink(const std::string& host) {
  struct stat link_info;
  if (lstat(host.c_str(), &link_info) != 0 || !S_ISLNK(link_info.st_mode)) return host;
  char* real = realpath(host.c_str(), nullptr);
  if (real == nullptr) return host;
  std::string resolved = real;
  std::free(real);
  return resolved;
}

// A host path inside the prefix (the C: drive and the run folder).
std::string PrefixFolder() {
  std::string prefix = Prefix();
  while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
  return prefix;
}

// A relative host path (a name in the current folder) made absolute.
std::string AbsoluteHost(const std::string& host) {
  if (host.empty() || host[0] == '/') return host;
  char* cwd = getcwd(nullptr, 0);
  if (cwd == nullptr) return host;
  std::string absolute = std::string(cwd) + "/" + host;
  std::free(cwd);
  return absolute;
}

bool InPrefix(const std::string& raw_host) {
  const std::string host = AbsoluteHost(raw_host);
  const std::string prefix = PrefixFolder();
  return !prefix.empty() && prefix != "/" && host.size() > prefix.size() &&
         host.starts_with(prefix) && host[prefix.size()] == '/';
}

// A folder an earlier version made readable by others loses those bits, and
// so do the folders above it up to the prefix itself.
void TightenFolders(const std::string& folder) {
  const std::string prefix = PrefixFolder();
  std::string level = folder;
  for (;;) {
    struct stat info;
    if (stat(level.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
        (info.st_mode & kOthersBits) != 0) {
      chmod(level.c_str(), info.st_mode & 07700);
    }
    if (level == prefix || !InPrefix(level)) return;
    level = ParentOf(level);
  }
}

bool StatIs(std::string_view path, mode_t type) {
  struct stat info;
  return stat(HostPath(path).c_str(), &info) == 0 && (info.st_mode & S_IFMT) == type;
}

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Length of the character starting at name[i]: a double-byte CP932
// character is one character for '?'.
size_t CharLength(std::string_view text, size_t i) { return Cp932CharLength(text, i); }

// FindFirstFile matching: '*' any run, '?' one character, letters without
// regard to ASCII case (Windows names are case-blind even though the host's
// are not).
bool Matches(std::string_view pattern, std::string_view name) {
  if (pattern.empty()) return name.empty();
  if (pattern == ".*" && name.empty()) return true;  // "ZVmi*.*" finds "ZVmi128"
  if (pattern[0] == '*') {
    std::string_view rest = pattern.substr(1);
    for (size_t i = 0;; i += CharLength(name, i)) {
      if (Matches(rest, name.substr(i))) return true;
      if (i >= name.size()) return false;
    }
  }
  if (name.empty()) return false;
  size_t pattern_length = CharLength(pattern, 0);
  size_t name_length = CharLength(name, 0);
  if (pattern[0] == '?') return Matches(pattern.substr(1), name.substr(name_length));
  if (pattern_length != name_length) return false;
  for (size_t i = 0; i < pattern_length; ++i) {
    char a = pattern_length == 1 ? FoldAscii(pattern[i]) : pattern[i];
    char b = name_length == 1 ? FoldAscii(name[i]) : name[i];
    if (a != b) return false;
  }
  return Matches(pattern.substr(pattern_length), name.substr(name_length));
}

}  // namespace

std::optional<std::vector<char>> ReadFileBytes(std::string_view path, size_t max_bytes,
                                               int64_t offset) {
  const UniqueFd fd(open(HostPath(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return std::nullopt;
  if (offset > 0 && lseek(fd.get(), static_cast<off_t>(offset), SEEK_SET) < 0) {
    return std::nullopt;
  }
  std::vector<char> bytes;
  struct stat info;
  if (fstat(fd.get(), &info) == 0 && info.st_size > 0) {
    bytes.reserve(std::min(max_bytes, static_cast<size_t>(info.st_size)));
  }
  char chunk[65536];
  while (bytes.size() < max_bytes) {
    size_t want = std::min(sizeof(chunk), max_bytes - bytes.size());
    const ssize_t got = RetryOnInterrupt([&] { return read(fd.get(), chunk, want); });
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  return bytes;
}

namespace {

// The temporary file gets the final mode before it is renamed, so the file
// never exists with a wider mode, not even for a moment.
bool ReplaceFile(std::string_view path, const void* data, size_t size, bool owner_only) {
  std::string target = HostPath(path);
  if (target.empty()) return false;
  target = AbsoluteHost(ResolveLink(target));
  std::string folder = ParentOf(target);
  std::string name = target.substr(target.rfind('/') + 1);
  // The temporary name carries the file's name when it fits in a name.
  std::string temp = name.size() + kTempSuffixLength < kMaxNameBytes
                         ? folder + "/." + name + ".zvrx-XXXXXX"
                         : folder + "/.zvrx-XXXXXX";
  UniqueFd fd(mkostemp(temp.data(), O_CLOEXEC));
  if (!fd) return false;
  struct stat old_info;
  const bool in_prefix = InPrefix(target);
  const bool existed = stat(target.c_str(), &old_info) == 0;
  mode_t mode = owner_only ? kPrivateFileMode
                : existed  ? (old_info.st_mode & 07777)
                           : kNewFileMode;
  // Inside the machine, a save also takes away what others could read.
  if (in_prefix) mode = existed && !owner_only ? (mode & 07700) : kPrivateFileMode;
  if (in_prefix) TightenFolders(folder);
  bool ok = fchmod(fd.get(), mode) == 0 &&
            WriteAll(fd.get(), static_cast<const char*>(data), size) && fsync(fd.get()) == 0;
  ok = fd.Close() && ok;
  if (ok) ok = rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    unlink(temp.c_str());
    return false;
  }
  // The rename itself must reach the disk too.
  const UniqueFd folder_fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder_fd) fsync(folder_fd.get());
  return true;
}

}  // namespace

bool WriteFileBytes(std::string_view path, const void* data, size_t size) {
  return ReplaceFile(path, data, size, false);
}

bool WritePrivateFileBytes(std::string_view path, const void* data, size_t size) {
  return ReplaceFile(path, data, size, true);
}

bool AppendFileBytes(std::string_view path, const void* data, size_t size) {
  const std::string host = HostPath(path);
  const bool in_prefix = InPrefix(host);
  UniqueFd fd(open(host.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC,
                   in_prefix ? kPrivateFileMode : kNewFileMode));
  if (!fd) return false;
  struct stat before;
  bool have_size = fstat(fd.get(), &before) == 0;
  if (in_prefix) {
    if (have_size && (before.st_mode & kOthersBits) != 0) fchmod(fd.get(), before.st_mode & 07700);
    TightenFolders(ParentOf(AbsoluteHost(host)));
  }
  bool ok = WriteAll(fd.get(), static_cast<const char*>(data), size);
  // A record cut off half-way (a full disk) is taken back, so the file stays
  // a sequence of whole records.
  if (!ok && have_size) (void)ftruncate(fd.get(), before.st_size);
  ok = fd.Close() && ok;
  return ok;
}

bool DeleteFile(std::string_view path) { return unlink(HostPath(path).c_str()) == 0; }

bool FileExists(std::string_view path) { return StatIs(path, S_IFREG); }

bool FolderExists(std::string_view path) { return StatIs(path, S_IFDIR); }

int64_t FileSize(std::string_view path) {
  struct stat info;
  if (stat(HostPath(path).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return info.st_size;
}

bool CreateFolder(std::string_view path) {
  const std::string host = HostPath(path);
  return mkdir(host.c_str(), InPrefix(host) ? kPrivateFolderMode : kNewFolderMode) == 0;
}

bool RemoveFolder(std::string_view path) { return rmdir(HostPath(path).c_str()) == 0; }

std::vector<std::string> ListFolder(std::string_view pattern) {
  std::vector<std::string> names;
  size_t cut = FindLastSeparator(pattern);
  std::string_view folder;
  std::string_view name_pattern = pattern;
  if (cut != std::string_view::npos) {
    folder = pattern.substr(0, cut + 1);
    name_pattern = pattern.substr(cut + 1);
  } else if (pattern.size() >= 2 && pattern[1] == ':') {
    folder = pattern.substr(0, 2);  // "C:*.*": the current folder of that drive
    name_pattern = pattern.substr(2);
  }
  std::string host = folder.empty() ? "." : HostPath(folder);
  if (host.empty()) host = ".";
  DIR* dir = opendir(host.c_str());
  if (dir == nullptr) return names;
  bool every_name = name_pattern == "*.*" || name_pattern == "*";
  while (const dirent* entry = readdir(dir)) {
    std::string_view host_name = entry->d_name;
    if (host_name == "." || host_name == "..") continue;
    std::string name = Utf8ToCp932(host_name);
    if (every_name || Matches(name_pattern, name)) names.push_back(std::move(name));
  }
  closedir(dir);
  return names;
}

int64_t FreeDiskSpace(std::string_view path) {
  std::string host = HostPath(path);
  if (host.empty()) host = ".";
  // A folder not made yet is on the volume of its nearest existing parent.
  for (;;) {
    struct statvfs info;
    if (statvfs(host.c_str(), &info) == 0) {
      return static_cast<int64_t>(info.f_bavail) * static_cast<int64_t>(info.f_frsize);
    }
    if (errno != ENOENT && errno != ENOTDIR) return -1;
    std::string parent = ParentOf(host);
    if (parent == host) return -1;
    host = parent;
  }
}

}  // namespace zvrx::platform
