// A file descriptor with one owner: closed when its owner goes, handed on by
// moving. Every descriptor the programs open and must close lives in one.
#pragma once

#include <unistd.h>

#include <utility>

namespace zvrx::platform {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  explicit operator bool() const { return valid(); }

  // Gives the descriptor up without closing it.
  int release() { return std::exchange(fd_, -1); }
  // Closes what is held and takes `fd` (-1: nothing) instead.
  void reset(int fd = -1) {
    const int old = std::exchange(fd_, fd);
    if (old >= 0 && old != fd) ::close(old);
  }
  // Closes now and says whether close succeeded: a file's last write error
  // may only show here. False when nothing was held.
  bool Close() {
    const int old = release();
    return old >= 0 && ::close(old) == 0;
  }

 private:
  int fd_ = -1;
};

}  // namespace zvrx::platform
