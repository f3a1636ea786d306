#include "platform/process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/cp932.h"
#include "platform/drives.h"
#include "platform/path_split.h"
#include "platform/retry.h"

extern char** environ;

namespace zvrx::platform {
namespace {

constexpr std::string_view kExe = ".exe";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsRegularFile(const std::string& host) {
  struct stat info;
  return stat(host.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool EndsWithExe(std::string_view name) {
  if (name.size() < kExe.size()) return false;
  std::string_view tail = name.substr(name.size() - kExe.size());
  for (size_t i = 0; i < kExe.size(); ++i) {
    char c = tail[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kExe[i]) return false;
  }
  return true;
}

// The host file a Windows program path names. As on Windows, a name without
// extension is also tried with ".exe"; as our own programs carry no
// extension on the host, a missing "X.exe" is also tried as "X".
std::optional<std::string> FindProgram(std::string_view program) {
  if (program.empty()) return std::nullopt;
  std::string host = HostPath(program);
  if (host.empty()) return std::nullopt;
  if (host[0] != '/') {
    // Made absolute now: the child changes folder before it starts.
    std::vector<char> buffer(PATH_MAX);
    if (getcwd(buffer.data(), buffer.size()) == nullptr) return std::nullopt;
    host = std::string(buffer.data()) + "/" + host;
  }
  if (IsRegularFile(host)) return host;
  size_t cut = FindLastSeparator(program);
  std::string_view name = cut == std::string_view::npos ? program : program.substr(cut + 1);
  if (name.find('.') == std::string_view::npos) {
    std::string with_exe = host + std::string(kExe);
    if (IsRegularFile(with_exe)) return with_exe;
  } else if (EndsWithExe(name) && name.size() > kExe.size()) {
    std::string without = host.substr(0, host.size() - kExe.size());
    if (IsRegularFile(without)) return without;
  }
  return std::nullopt;
}

// Arguments split at blanks; double quotes group blanks into one argument
// and are themselves removed. Backslashes are plain characters (paths).
std::vector<std::string> SplitArguments(std::string_view text) {
  std::vector<std::string> arguments;
  std::string current;
  bool in_quotes = false;
  bool have = false;
  for (char c : text) {
    if (c == '"') {
      in_quotes = !in_quotes;
      have = true;
    } else if (IsBlank(c) && !in_quotes) {
      if (have) arguments.push_back(Cp932ToUtf8(current));
      current.clear();
      have = false;
    } else {
      current += c;
      have = true;
    }
  }
  if (have) arguments.push_back(Cp932ToUtf8(current));
  return arguments;
}

// Program and the text of its arguments. A quoted program is taken as it
// stands. An unquoted one is tried at each blank in turn, shortest first,
// then as the whole line, so "C:\Program Files\X\Y.exe a" finds
// "C:\Program Files\X\Y.exe" when "C:\Program" is no program.
bool SplitCommandLine(std::string_view line, std::string* host_program,
                      std::string_view* argument_text) {
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
  if (line.empty()) return false;
  if (line[0] == '"') {
    size_t close = line.find('"', 1);
    std::string_view program =
        line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
    *argument_text = close == std::string_view::npos ? std::string_view() : line.substr(close + 1);
    std::optional<std::string> found = FindProgram(program);
    if (!found) return false;
    *host_program = *found;
    return true;
  }
  for (size_t i = 0; i <= line.size(); ++i) {
    if (i < line.size() && !IsBlank(line[i])) continue;
    if (i > 0 && IsBlank(line[i - 1])) continue;  // only the first of a run of blanks
    std::optional<std::string> found = FindProgram(line.substr(0, i));
    if (found) {
      *host_program = *found;
      *argument_text = line.substr(i);
      return true;
    }
  }
  return false;
}

void ReapInBackground(pid_t pid) {
  try {
    std::thread([pid] {
      int status = 0;
      RetryOnInterrupt([&] { return waitpid(pid, &status, 0); });
    }).detach();
  } catch (const std::system_error&) {
    // No thread to spare: the child is reaped when we end.
  }
}

}  // namespace

int StartProgram(std::string_view command_line, std::string_view working_folder) {
  std::string program;
  std::string_view argument_text;
  if (!SplitCommandLine(command_line, &program, &argument_text)) return -1;
  std::vector<std::string> arguments = SplitArguments(argument_text);

  std::string folder;
  if (!working_folder.empty()) {
    folder = HostPath(working_folder);
    struct stat info;
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return -1;
  }

  std::vector<char*> argv;
  argv.push_back(program.data());
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // The child starts as a fresh program: nothing blocked, SIGPIPE fatal again.
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  pid_t pid = -1;
  int result = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (result != 0) return -1;
  ReapInBackground(pid);
  return static_cast<int>(pid);
}

}  // namespace zvrx::platform
