// A program of the suite as a real child process of a test: an environment
// of the test's making, its output in a file, and never left running.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace zvrx::test {

class ProgramProcess {
 public:
  // Starts argv[0] with `argv`. The environment is the test's own without
  // the variables the programs read (ZVRX_*, QT_QPA_*, XDG_RUNTIME_DIR), so
  // that nothing of the shell leaks in, plus `env` ("NAME=value" entries).
  // Standard output and error are appended to the host file `output`.
  ProgramProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                 const std::string& output);
  // Ends a process still running: SIGTERM, then SIGKILL after a grace time.
  ~ProgramProcess();
  ProgramProcess(const ProgramProcess&) = delete;
  ProgramProcess& operator=(const ProgramProcess&) = delete;

  bool started() const { return pid_ > 0; }
  // Waits for the end; the exit status, or -1 when it still runs after
  // `timeout_ms` (or ended by a signal).
  int Wait(int timeout_ms);
  bool Running();
  void Signal(int number);
  // SIGTERM, then Wait.
  int Terminate(int timeout_ms = 10000);
  // What it wrote so far, for failure messages.
  std::string Output() const;

 private:
  std::string output_;
  pid_t pid_ = -1;
  bool ended_ = false;
  int status_ = 0;
};

// The entries that run a windowed program offscreen in the machine at
// `prefix`: its runtime folder `runtime` is made here (Qt wants it private),
// the transcript goes to `transcript`, and `answers` ("" for none) are its
// scripted answers.
std::vector<std::string> OffscreenEnvironment(const std::string& prefix,
                                              const std::string& runtime,
                                              const std::string& transcript,
                                              const std::string& answers);

// The lines of a host file, without their line feeds; none when missing.
std::vector<std::string> ReadLines(const std::string& host_path);
// The first line of the host file that starts with `start`, looking again
// until `timeout_ms` passed; nullopt when none came.
std::optional<std::string> WaitForLine(const std::string& host_path, const std::string& start,
                                       int timeout_ms);

void PauseMs(int milliseconds);

}  // namespace zvrx::test
