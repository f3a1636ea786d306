#include "tests/support/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <sstream>

#include "tests/support/temp_prefix.h"
#include "tests/support/wait_until.h"

extern char** environ;

namespace zvrx::test {

namespace {

constexpr int kStepMs = 20;
constexpr int kGraceMs = 5000;  // a SIGTERM'd program saves and removes its block first
constexpr int kLineStepMs = 50;
constexpr int kReadyMs = 5000;

bool ReadByPrograms(const char* entry) {
  return std::strncmp(entry, "ZVRX_", 5) == 0 || std::strncmp(entry, "QT_QPA_", 7) == 0 ||
         std::strncmp(entry, "XDG_RUNTIME_DIR=", 16) == 0;
}

std::vector<char*> Pointers(std::vector<std::string>& words) {
  std::vector<char*> pointers;
  for (std::string& word : words) pointers.push_back(word.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

ProcessSetup AppendingOutput(std::vector<std::string> argv, std::vector<std::string> env,
                             std::string output) {
  ProcessSetup setup;
  setup.argv = std::move(argv);
  setup.env = std::move(env);
  setup.output = std::move(output);
  setup.append_output = true;
  return setup;
}

Process::Process(const ProcessSetup& setup) : output_(setup.output) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!setup.clean_environment || !ReadByPrograms(*entry)) entries.emplace_back(*entry);
  }
  entries.insert(entries.end(), setup.env.begin(), setup.env.end());
  std::vector<char*> envp = Pointers(entries);
  std::vector<std::string> args = setup.argv;
  std::vector<char*> argp = Pointers(args);

  int fds[2] = {-1, -1};
  if (setup.output_on_pipe && pipe2(fds, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!setup.working_folder.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, setup.working_folder.c_str());
  }
  if (setup.output_on_pipe) {
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  } else if (!setup.output.empty()) {
    const int mode = O_WRONLY | O_CREAT | (setup.append_output ? O_APPEND : O_TRUNC);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, setup.output.c_str(), mode, 0644);
    if (setup.errors.empty()) posix_spawn_file_actions_adddup2(&actions, 1, STDERR_FILENO);
  }
  if (!setup.errors.empty()) {
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, setup.errors.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  if (argp[0] == nullptr ||
      posix_spawn(&pid_, argp[0], &actions, nullptr, argp.data(), envp.data()) != 0) {
    pid_ = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  if (setup.output_on_pipe) {
    close(fds[1]);
    pipe_ = fds[0];
  }
}

Process::Process(pid_t forked) : pid_(forked) {}

Process::~Process() {
  if (Running()) {
    kill(pid_, SIGTERM);
    if (Wait(kGraceMs) == -1 && !ended_) Kill();
  }
  if (pipe_ >= 0) close(pipe_);
}

int Process::Status() const { return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1; }

int Process::Wait(int timeout_ms) {
  if (pid_ <= 0) return -1;
  WaitUntil([&] { return ended_ || (ended_ = waitpid(pid_, &status_, WNOHANG) == pid_); },
            timeout_ms, kStepMs);
  return ended_ ? Status() : -1;
}

int Process::WaitForEnd() {
  if (pid_ <= 0) return -1;
  if (!ended_ && waitpid(pid_, &status_, 0) == pid_) ended_ = true;
  return ended_ ? Status() : -1;
}

bool Process::Running() { return pid_ > 0 && Wait(0) == -1 && !ended_; }

void Process::Signal(int number) {
  if (Running()) kill(pid_, number);
}

int Process::Terminate(int timeout_ms) {
  Signal(SIGTERM);
  return Wait(timeout_ms);
}

void Process::Kill() {
  if (!Running()) return;
  kill(pid_, SIGKILL);
  WaitForEnd();
}

std::string Process::Output() const { return ReadHostFile(output_); }

std::string Process::ReadLine(int timeout_ms) {
  std::string line;
  char c;
  while (pipe_ >= 0) {
    pollfd entry{pipe_, POLLIN, 0};
    if (poll(&entry, 1, timeout_ms) <= 0) return line;
    if (read(pipe_, &c, 1) != 1 || c == '\n') return line;
    line.push_back(c);
  }
  return line;
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& scratch_folder, const std::string& working_folder,
                      const std::vector<std::string>& env) {
  ProcessSetup setup;
  setup.argv = args;
  setup.argv.insert(setup.argv.begin(), program);
  setup.env = env;
  setup.clean_environment = false;
  setup.output = scratch_folder + "/run.out";
  setup.errors = scratch_folder + "/run.err";
  setup.working_folder = working_folder;
  ProgramRun run;
  {
    Process process(setup);
    run.status = process.WaitForEnd();
  }
  run.out = ReadHostFile(setup.output);
  run.err = ReadHostFile(setup.errors);
  return run;
}

ProgramRun RunZvrxctl(const std::string& prefix, std::vector<std::string> args,
                      const std::string& working_folder) {
  args.insert(args.begin(), {"--prefix", prefix});
  return RunProgram(kZvrxctlProgram, args, prefix, working_folder);
}

void ChildProcess::Side::Ready(char code) const { (void)!write(ready_fd, &code, 1); }

void ChildProcess::Side::Wait() const {
  char byte;
  while (read(release_fd, &byte, 1) > 0) {
  }
}

ChildProcess::ChildProcess(const std::function<int(const Side&)>& body) {
  int ready[2], release[2];
  if (pipe(ready) != 0 || pipe(release) != 0) return;
  const pid_t pid = fork();
  if (pid == 0) {
    close(ready[0]);
    close(release[1]);
    _exit(body(Side{ready[1], release[0]}));
  }
  close(ready[1]);
  close(release[0]);
  ready_fd_ = ready[0];
  release_fd_ = release[1];
  process_.emplace(pid);
}

ChildProcess::~ChildProcess() {
  // Killed at once: a body may hold what the test watches with signals caught.
  if (process_) process_->Kill();
  if (ready_fd_ >= 0) close(ready_fd_);
  if (release_fd_ >= 0) close(release_fd_);
}

char ChildProcess::WaitReady() {
  pollfd entry{ready_fd_, POLLIN, 0};
  char code = 0;
  if (poll(&entry, 1, kReadyMs) == 1 && read(ready_fd_, &code, 1) != 1) code = 0;
  return code;
}

int ChildProcess::Finish() {
  close(release_fd_);
  release_fd_ = -1;
  return process_ ? process_->WaitForEnd() : -1;
}

std::vector<std::string> OffscreenEnvironment(const std::string& prefix, const std::string& runtime,
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
  std::optional<std::string> found;
  WaitUntil(
      [&] {
        for (const std::string& line : ReadLines(host_path)) {
          if (line.rfind(start, 0) == 0) found = line;
          if (found) return true;
        }
        return false;
      },
      timeout_ms, kLineStepMs);
  return found;
}

}  // namespace zvrx::test
