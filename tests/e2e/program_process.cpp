#include "tests/e2e/program_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <sstream>
#include <thread>

#include "tests/support/temp_prefix.h"

extern char** environ;

namespace zvrx::test {

namespace {

constexpr int kStepMs = 20;
constexpr int kGraceMs = 5000;  // a SIGTERM'd program saves and removes its block first
constexpr int kLineStepMs = 50;

bool ReadByPrograms(const char* entry) {
  return std::strncmp(entry, "ZVRX_", 5) == 0 || std::strncmp(entry, "QT_QPA_", 7) == 0 ||
         std::strncmp(entry, "XDG_RUNTIME_DIR=", 16) == 0;
}

}  // namespace

void PauseMs(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

ProgramProcess::ProgramProcess(const std::vector<std::string>& argv,
                               const std::vector<std::string>& env, const std::string& output)
    : output_(output) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!ReadByPrograms(*entry)) entries.emplace_back(*entry);
  }
  entries.insert(entries.end(), env.begin(), env.end());
  std::vector<char*> envp;
  for (std::string& entry : entries) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = argv;
  std::vector<char*> argp;
  for (std::string& arg : args) argp.push_back(arg.data());
  argp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  if (argp[0] == nullptr ||
      posix_spawn(&pid_, argp[0], &actions, nullptr, argp.data(), envp.data()) != 0) {
    pid_ = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
}

ProgramProcess::~ProgramProcess() {
  if (!Running()) return;
  kill(pid_, SIGTERM);
  if (Wait(kGraceMs) == -1 && !ended_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

int ProgramProcess::Wait(int timeout_ms) {
  if (pid_ <= 0) return -1;
  for (int waited = 0; !ended_; waited += kStepMs) {
    if (waitpid(pid_, &status_, WNOHANG) == pid_) {
      ended_ = true;
      break;
    }
    if (waited >= timeout_ms) return -1;
    PauseMs(kStepMs);
  }
  return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

bool ProgramProcess::Running() { return pid_ > 0 && Wait(0) == -1 && !ended_; }

void ProgramProcess::Signal(int number) {
  if (Running()) kill(pid_, number);
}

int ProgramProcess::Terminate(int timeout_ms) {
  Signal(SIGTERM);
  return Wait(timeout_ms);
}

std::string ProgramProcess::Output() const { return ReadHostFile(output_); }

std::vector<std::string> OffscreenEnvironment(const std::string& prefix,
                                              const std::string& runtime,
                                              const std::string& transcript,
                                              const std::string& answers) {
  mkdir(runtime.c_str(), 0700);
  return {"ZVRX_PREFIX=" + prefix, "QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + runtime,
          "ZVRX_UI_TRANSCRIPT=" + transcript, "ZVRX_UI_ANSWERS=" + answers};
}

std::vector<std::string> ReadLines(const std::string& host_path) {
  std::vector<std::string> lines;
  std::istringstream text(ReadHostFile(host_path));
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

std::optional<std::string> WaitForLine(const std::string& host_path, const std::string& start,
                                       int timeout_ms) {
  for (int waited = 0; waited <= timeout_ms; waited += kLineStepMs) {
    for (const std::string& line : ReadLines(host_path)) {
      if (line.rfind(start, 0) == 0) return line;
    }
    PauseMs(kLineStepMs);
  }
  return std::nullopt;
}

}  // namespace zvrx::test
