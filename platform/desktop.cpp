#include "platform/desktop.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/drives.h"

namespace zvrx::platform {
namespace {

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  const passwd* entry = getpwuid(getuid());
  return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "/";
}

// The value of XDG_DESKTOP_DIR in a user-dirs.dirs file: a double-quoted
// "$HOME/..." or absolute path. "" when absent or not of that form.
std::string ReadDesktopEntry(const std::string& file, const std::string& home) {
  std::ifstream in(file);
  std::string line;
  constexpr std::string_view kKey = "XDG_DESKTOP_DIR=";
  while (std::getline(in, line)) {
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, kKey.size(), kKey) != 0) continue;
    std::string value = line.substr(start + kKey.size());
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r')) {
      value.pop_back();
    }
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    if (value.rfind("$HOME", 0) == 0) {
      value = home + value.substr(5);
    }
    if (value.empty() || value[0] != '/') return {};
    return value;
  }
  return {};
}

}  // namespace

std::string DesktopFolder() {
  std::string home = HomeFolder();
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string config_folder =
      config != nullptr && *config == '/' ? std::string(config) : home + "/.config";
  std::string desktop = ReadDesktopEntry(config_folder + "/user-dirs.dirs", home);
  if (desktop.empty()) desktop = home + "/Desktop";
  return WindowsPath(desktop);
}

}  // namespace zvrx::platform
