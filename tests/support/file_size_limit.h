// Makes writes past `limit` bytes fail (EFBIG) for the scope: a full disk,
// even for root.
#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace zvrx::test {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t limit) {
    old_handler_ = signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit small = old_;
    small.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, old_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit old_{};
  sighandler_t old_handler_;
};

}  // namespace zvrx::test
