// A forked child process for the platform tests: it runs a body, reports
// readiness through a pipe and waits to be released or killed, so that the
// parent can watch what another live (or dead) process leaves behind.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace zvrx::platform {

class ChildProcess {
 public:
  // The child's side: Ready() tells the parent a result byte; Wait()
  // blocks until the parent releases it.
  struct Side {
    int ready_fd;
    int release_fd;
    void Ready(char code = 'r') const { (void)!write(ready_fd, &code, 1); }
    void Wait() const {
      char byte;
      while (read(release_fd, &byte, 1) > 0) {
      }
    }
  };

  // The body's return value is the child's exit status.
  explicit ChildProcess(const std::function<int(const Side&)>& body) {
    int ready[2], release[2];
    if (pipe(ready) != 0 || pipe(release) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      close(release[1]);
      _exit(body(Side{ready[1], release[0]}));
    }
    close(ready[1]);
    close(release[0]);
    ready_fd_ = ready[0];
    release_fd_ = release[1];
  }

  ~ChildProcess() {
    if (pid_ > 0) Kill();
    if (ready_fd_ >= 0) close(ready_fd_);
    if (release_fd_ >= 0) close(release_fd_);
  }

  // The byte the child reported, or 0 after five seconds of silence.
  char WaitReady() {
    pollfd entry{ready_fd_, POLLIN, 0};
    char code = 0;
    if (poll(&entry, 1, 5000) == 1 && read(ready_fd_, &code, 1) != 1) code = 0;
    return code;
  }

  // Releases the child and returns its exit status (-1 when it died).
  int Finish() {
    close(release_fd_);
    release_fd_ = -1;
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  void Kill() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int ready_fd_ = -1;
  int release_fd_ = -1;
};

}  // namespace zvrx::platform
