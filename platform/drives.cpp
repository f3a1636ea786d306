#include "platform/drives.h"

#include <pwd.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "platform/cp932.h"
#include "platform/path_split.h"

namespace zvrx::platform {
namespace {

std::string HostCurrentFolder() {
  std::vector<char> buffer(PATH_MAX);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

// Absolute and without a trailing slash, so that paths built on it and
// host paths compared with it agree.
std::string NormalisedPrefix(std::string_view host_prefix) {
  std::string prefix(host_prefix);
  if (!prefix.empty() && prefix[0] != '/') prefix = HostCurrentFolder() + "/" + prefix;
  while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
  return prefix;
}

// The emulated machine's host folder; set once at start (tests per test).
std::string& PrefixSlot() {
  static std::string prefix = NormalisedPrefix(DefaultPrefix());
  return prefix;
}

bool HasDrive(std::string_view path) {
  return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

// Host folder of a drive letter; "" for Z:, whose names hang off "/".
std::string DriveRoot(char letter) {
  char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
  if (lower == 'z') return {};
  return PrefixSlot() + "/drive_" + lower;
}

// "C:\a\..\b" style names resolved within the drive: ".." never climbs
// above the drive's root, as on Windows, so a path cannot leave its drive.
std::vector<std::string_view> Normalise(const std::vector<std::string_view>& parts) {
  std::vector<std::string_view> kept;
  for (std::string_view part : parts) {
    if (part == ".") continue;
    if (part == "..") {
      if (!kept.empty()) kept.pop_back();
      continue;
    }
    kept.push_back(part);
  }
  return kept;
}

std::string AbsoluteHostPath(char drive, std::string_view rest) {
  std::string host = DriveRoot(drive);
  for (std::string_view part : Normalise(SplitPath(rest))) {
    host += '/';
    host += Cp932ToUtf8(part);
  }
  return host.empty() ? "/" : host;
}

// Drive letter (upper case) and the rest after "drive_x" when `host` lies
// under `root`/drive_x; 0 otherwise.
char MatchDrive(std::string_view host, std::string_view root, std::string_view* rest) {
  if (root.empty() || host.substr(0, root.size()) != root) return 0;
  std::string_view tail = host.substr(root.size());
  constexpr std::string_view kDrive = "/drive_";
  if (tail.substr(0, kDrive.size()) != kDrive || tail.size() < kDrive.size() + 1) return 0;
  char letter = tail[kDrive.size()];
  if (letter < 'a' || letter > 'y') return 0;
  tail.remove_prefix(kDrive.size() + 1);
  if (!tail.empty() && tail[0] != '/') return 0;
  *rest = tail;
  return static_cast<char>(letter - 'a' + 'A');
}

}  // namespace

std::string DefaultPrefix() {
  const char* env = std::getenv("ZVRX_PREFIX");
  if (env != nullptr && *env != '\0') return env;
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') {
    const passwd* entry = getpwuid(getuid());
    home = entry != nullptr ? entry->pw_dir : "/tmp";
  }
  return std::string(home) + "/.zvrx";
}

void SetPrefix(std::string_view host_prefix) { PrefixSlot() = NormalisedPrefix(host_prefix); }

const std::string& Prefix() { return PrefixSlot(); }

std::string GetWindowsDirectory() { return "C:\\WINDOWS"; }

std::string HostPath(std::string_view windows_path) {
  if (HasDrive(windows_path)) {
    char drive = windows_path[0];
    std::string_view rest = windows_path.substr(2);
    if (!rest.empty() && IsPathSeparator(rest[0])) return AbsoluteHostPath(drive, rest);
    // "C:name": relative to the current folder when it is on that drive.
    std::string current = GetCurrentDirectory();
    if (HasDrive(current) && std::toupper(static_cast<unsigned char>(current[0])) ==
                                 std::toupper(static_cast<unsigned char>(drive))) {
      return AbsoluteHostPath(drive, current.substr(2) + "\\" + std::string(rest));
    }
    return AbsoluteHostPath(drive, rest);
  }
  if (!windows_path.empty() && IsPathSeparator(windows_path[0])) {
    std::string current = GetCurrentDirectory();
    return AbsoluteHostPath(HasDrive(current) ? current[0] : 'C', windows_path);
  }
  // Relative: stays relative to the process's current folder.
  std::string host;
  for (std::string_view part : SplitPath(windows_path)) {
    if (!host.empty()) host += '/';
    host += Cp932ToUtf8(part);
  }
  return host;
}

std::string WindowsPath(std::string_view host_path) {
  if (host_path.empty() || host_path[0] != '/') {
    std::string relative = Utf8ToCp932(host_path);
    for (char& c : relative) {
      if (c == '/') c = '\\';
    }
    return relative;
  }
  std::string_view rest = host_path;
  char drive = MatchDrive(host_path, PrefixSlot(), &rest);
  std::string resolved_prefix;
  if (drive == 0) {
    // The host may report the folder with links resolved (getcwd).
    if (char* real = realpath(PrefixSlot().c_str(), nullptr)) {
      resolved_prefix = real;
      std::free(real);
      drive = MatchDrive(host_path, resolved_prefix, &rest);
    }
  }
  if (drive == 0) {
    drive = 'Z';
    rest = host_path;
  }
  std::string windows(1, drive);
  windows += ":\\";
  bool first = true;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t slash = rest.find('/', start);
    if (slash == std::string_view::npos) slash = rest.size();
    if (slash > start) {
      if (!first) windows += '\\';
      windows += Utf8ToCp932(rest.substr(start, slash - start));
      first = false;
    }
    start = slash + 1;
  }
  return windows;
}

bool SetCurrentDirectory(std::string_view windows_path) {
  std::string host = HostPath(windows_path);
  return !host.empty() && chdir(host.c_str()) == 0;
}

std::string GetCurrentDirectory() {
  std::string host = HostCurrentFolder();
  return host.empty() ? std::string() : WindowsPath(host);
}

}  // namespace zvrx::platform
