// A forked child process for the platform tests: it runs a body, reports
// readiness through a pipe and waits to be released or killed, so that the
// parent can watch what another live (or dead) process leaves behind.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <utility>

#include "platform/unique_fd.h"

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
    if (pipe(ready) != 0) return;
    UniqueFd ready_read(ready[0]), ready_write(ready[1]);
    if (pipe(release) != 0) return;
    UniqueFd release_read(release[0]), release_write(release[1]);
    pid_ = fork();
    if (pid_ == 0) {
      ready_read.reset();
      release_write.reset();
      _exit(body(Side{ready_write.get(), release_read.get()}));
    }
    // The child's ends close here, in the parent.
    ready_fd_ = std::move(ready_read);
    release_fd_ = std::move(release_write);
  }

  ~ChildProcess() {
    if (pid_ > 0) Kill();
  }

  // The byte the child reported, or 0 after five seconds of silence.
  char WaitReady() {
    pollfd entry{ready_fd_.get(), POLLIN, 0};
    char code = 0;
    if (poll(&entry, 1, 5000) == 1 && read(ready_fd_.get(), &code, 1) != 1) code = 0;
    return code;
  }

  // Releases the child and returns its exit status (-1 when it died).
  int Finish() {
    release_fd_.reset();
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
  UniqueFd ready_fd_;
  UniqueFd release_fd_;
};

}  // namespace zvrx::platform
