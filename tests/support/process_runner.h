// Programs of the suite (and forked bodies) as real child processes of a
// test: started with an environment of the test's making, their output
// captured, waited for with a time limit, and never left running.
#pragma once

#include <sys/types.h>
#include <sys/wait.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zvrx::test {

struct ProcessSetup {
  std::vector<std::string> argv;  // argv[0] is the program's path
  // "NAME=value" entries added to the environment.
  std::vector<std::string> env;
  // Without the variables the programs read (ZVRX_*, QT_QPA_*,
  // XDG_RUNTIME_DIR), so that nothing of the shell leaks in.
  bool clean_environment = true;
  // Host file for standard output, and for standard error too unless
  // `errors` names one; "" keeps the test's own.
  std::string output;
  bool append_output = false;
  std::string errors;
  // Standard output on a pipe instead, read with ReadLine().
  bool output_on_pipe = false;
  std::string working_folder;  // host path; "" for the test's own
};

// The usual set-up: a clean environment plus `env`, standard output and
// error appended to the host file `output`.
ProcessSetup AppendingOutput(std::vector<std::string> argv, std::vector<std::string> env,
                             std::string output);

class Process {
 public:
  explicit Process(const ProcessSetup& setup);
  // Takes charge of a child the test forked itself.
  explicit Process(pid_t forked);
  // Ends a process still running: SIGTERM, then SIGKILL after a grace time.
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  // Waits for the end; the exit status, or -1 when it still runs after
  // `timeout_ms` or ended by a signal.
  int Wait(int timeout_ms);
  // Waits as long as it takes.
  int WaitForEnd();
  bool Running();
  // Ended by a signal (once Wait saw the end).
  bool Signalled() const { return ended_ && WIFSIGNALED(status_); }
  void Signal(int number);
  // SIGTERM, then Wait.
  int Terminate(int timeout_ms = 10000);
  // SIGKILL, and the end collected.
  void Kill();

  // What it wrote to its output file so far, for checks and failure messages.
  std::string Output() const;
  // With `output_on_pipe`: the next line (without its line feed); "" at the
  // end or after `timeout_ms` of silence.
  std::string ReadLine(int timeout_ms = 30000);

 private:
  int Status() const;

  std::string output_;
  pid_t pid_ = -1;
  int pipe_ = -1;
  bool ended_ = false;
  int status_ = 0;
};

// A whole run of a command: started, waited for, its output collected.
struct ProgramRun {
  int status = -1;  // exit status, -1 when it did not start or was killed
  std::string out;
  std::string err;
};

// Runs `program` with `args` and the test's environment as it is (plus
// the "NAME=value" entries of `env`), its standard output and error
// captured in files under `scratch_folder`; `working_folder` (host path)
// when not empty.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& scratch_folder, const std::string& working_folder = {},
                      const std::vector<std::string>& env = {});

// zvrxctl of this build, with --prefix set to `prefix`.
inline constexpr char kZvrxctlProgram[] = ZVRX_BINARY_DIR "/tools/zvrxctl";
ProgramRun RunZvrxctl(const std::string& prefix, std::vector<std::string> args,
                      const std::string& working_folder = {});

// A forked copy of the test that runs `body`, reports readiness through a
// pipe and waits to be released or killed, so that the test can watch what
// another live (or dead) process leaves behind.
class ChildProcess {
 public:
  // The child's side: Ready() tells the parent a result byte; Wait()
  // blocks until the parent releases it.
  struct Side {
    int ready_fd;
    int release_fd;
    void Ready(char code = 'r') const;
    void Wait() const;
  };

  // The body's return value is the child's exit status.
  explicit ChildProcess(const std::function<int(const Side&)>& body);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The byte the child reported, or 0 after five seconds of silence.
  char WaitReady();
  // Releases the child and returns its exit status (-1 when it died).
  int Finish();
  void Kill() { process_->Kill(); }

 private:
  std::optional<Process> process_;
  int ready_fd_ = -1;
  int release_fd_ = -1;
};

// The entries that run a windowed program offscreen in the machine at
// `prefix`: its runtime folder `runtime` is made here (Qt wants it private),
// the transcript goes to `transcript`, and `answers` ("" for none) are its
// scripted answers.
std::vector<std::string> OffscreenEnvironment(const std::string& prefix, const std::string& runtime,
                                              const std::string& transcript,
                                              const std::string& answers);

// The lines of a host file, without their line feeds; none when missing.
std::vector<std::string> ReadLines(const std::string& host_path);
// The first line of the host file that starts with `start`, looking again
// until `timeout_ms` passed; nullopt when none came.
std::optional<std::string> WaitForLine(const std::string& host_path, const std::string& start,
                                       int timeout_ms);

}  // namespace zvrx::test
