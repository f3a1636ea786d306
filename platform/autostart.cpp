#include "platform/autostart.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/drives.h"

namespace zvrx::platform {

namespace {

constexpr mode_t kFolderMode = 0755;

std::string ConfigHome() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return config;  // relative values are to be ignored
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.config";
}

std::string RealPrefix() {
  char resolved[PATH_MAX];
  if (realpath(Prefix().c_str(), resolved) == nullptr) return Prefix();
  return resolved;
}

// FNV-1a, 64 bits: a short stable name for the prefix.
std::string PrefixHash() {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char c : RealPrefix()) {
    hash ^= c;
    hash *= 0x100000001b3ull;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

bool MakeFolders(const std::string& host) {
  for (size_t at = host.find('/', 1);; at = host.find('/', at + 1)) {
    const std::string part = at == std::string::npos ? host : host.substr(0, at);
    if (mkdir(part.c_str(), kFolderMode) != 0 && errno != EEXIST) return false;
    if (at == std::string::npos) break;
  }
  struct stat info;
  return stat(host.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::string AutostartEntryPath() {
  return ConfigHome() + "/autostart/mail-zevrox-" + PrefixHash() + ".desktop";
}

std::string ExecArgument(std::string_view utf8) {
  // Inside double quotes " ` $ \ take a backslash; a percent sign is doubled
  // (field codes). The value is then a string, where a backslash is doubled.
  std::string quoted = "\"";
  for (char c : utf8) {
    if (c == '\\') {
      quoted += "\\\\\\\\";  // escaped for Exec, then both doubled for the string
      continue;
    }
    if (c == '"' || c == '`' || c == '$') quoted += "\\\\";
    if (c == '%') quoted += '%';
    if (c == '\n') {
      quoted += "\\n";
      continue;
    }
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

bool WriteAutostartEntry(std::string_view program) {
  const std::string path = AutostartEntryPath();
  if (!MakeFolders(path.substr(0, path.rfind('/')))) return false;
  const std::string entry =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Mail Zevrox\n"
      "Comment=Mail Zevrox checks the POP3 mailboxes for spam\n"
      "Exec=env " + ExecArgument("ZVRX_PREFIX=" + RealPrefix()) + " " +
      ExecArgument(HostPath(program)) + "\n"
      "Terminal=false\n"
      "X-GNOME-Autostart-enabled=true\n";
  // Host names need not fit CP932, so this file is written on the host's terms.
  const std::string temp = path + ".new";
  FILE* file = std::fopen(temp.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(entry.data(), 1, entry.size(), file) == entry.size();
  ok = std::fclose(file) == 0 && ok;
  if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

bool RemoveAutostartEntry() {
  const std::string path = AutostartEntryPath();
  if (unlink(path.c_str()) == 0) return true;
  return errno == ENOENT;
}

}  // namespace zvrx::platform
