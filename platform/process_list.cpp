#include "platform/process_list.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "platform/cp932.h"
#include "platform/drives.h"
#include "platform/parse_integer.h"

namespace zvrx::platform {

namespace {

constexpr int kPollMs = 10;
constexpr std::string_view kDeletedMark = " (deleted)";

std::string RealFolder(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

std::string ExecutableOf(int pid) {
  const std::string link = "/proc/" + std::to_string(pid) + "/exe";
  char target[PATH_MAX];
  const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
  if (length <= 0) return {};
  std::string path(target, static_cast<size_t>(length));
  // A program file removed while it runs still names the process.
  if (path.size() > kDeletedMark.size() &&
      path.compare(path.size() - kDeletedMark.size(), kDeletedMark.size(), kDeletedMark) == 0) {
    path.resize(path.size() - kDeletedMark.size());
  }
  return path;
}

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

std::vector<RunningProgram> ProgramsOfThisMachine() {
  std::vector<RunningProgram> programs;
  const std::string machine = RealFolder(Prefix()) + "/";
  const uid_t me = getuid();
  const int self = static_cast<int>(getpid());
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return programs;
  while (const dirent* entry = readdir(proc)) {
    const std::optional<int> pid = ParseInteger<int>(entry->d_name);
    if (!pid || *pid <= 0 || *pid == self) continue;
    struct stat info;
    const std::string folder = std::string("/proc/") + entry->d_name;
    if (stat(folder.c_str(), &info) != 0 || info.st_uid != me) continue;
    const std::string program = ExecutableOf(*pid);
    if (program.compare(0, machine.size(), machine) != 0) continue;
    if (!ProcessRunning(*pid)) continue;
    const std::string name = program.substr(program.rfind('/') + 1);
    programs.push_back({*pid, UpperAscii(Utf8ToCp932(name))});
  }
  closedir(proc);
  return programs;
}

bool ProcessRunning(int pid) {
  if (pid <= 0) return false;
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  if (!status) return false;
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("State:", 0) == 0) {
      const size_t at = line.find_first_not_of(" \t", 6);
      return at != std::string::npos && line[at] != 'Z' && line[at] != 'X';
    }
  }
  return false;
}

bool StopProcess(int pid, int grace_ms) {
  auto ended_within = [pid](int ms) {
    for (int waited = 0;; waited += kPollMs) {
      if (!ProcessRunning(pid)) return true;
      if (waited >= ms) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
  };
  if (!ProcessRunning(pid)) return true;
  if (kill(pid, SIGTERM) != 0) return !ProcessRunning(pid);
  if (ended_within(grace_ms)) return true;
  kill(pid, SIGKILL);
  return ended_within(grace_ms);
}

}  // namespace zvrx::platform
