#include "platform/named_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "platform/drives.h"
#include "platform/lock_file.h"
#include "platform/unique_fd.h"

namespace zvrx::platform {
namespace {

// Short enough that a waiter follows a released lock at once, long enough
// not to spin; real time, whatever clock the programs run on.
constexpr auto kPollPause = std::chrono::milliseconds(5);

struct Held {
  UniqueFd fd;
  int count = 0;
  pid_t owner = 0;  // a forked child inherits the table, not the holds
};

// This process's holds by lock path.
std::mutex& HoldsMutex() {
  static std::mutex mutex;
  return mutex;
}
std::map<std::string, Held>& Holds() {
  static std::map<std::string, Held> holds;
  return holds;
}

std::string LockPath(const std::string& run, std::string_view name) {
  return run + "/" + RunFileName(name) + ".lock";
}

// The file stays in place when released: a waiter that opened it keeps
// locking the same file as everybody else.
UniqueFd TryLock(const std::string& path) {
  UniqueFd fd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (fd && flock(fd.get(), LOCK_EX | LOCK_NB) != 0) fd.reset();
  return fd;
}

}  // namespace

std::unique_ptr<NamedLock> NamedLock::Acquire(std::string_view name, int wait_ms) {
  const std::string run = RunFolder();
  if (run.empty()) return nullptr;
  std::string path = LockPath(run, name);
  {
    std::lock_guard<std::mutex> guard(HoldsMutex());
    auto it = Holds().find(path);
    if (it != Holds().end() && it->second.owner == getpid()) {
      ++it->second.count;
      return std::unique_ptr<NamedLock>(new NamedLock(path));
    }
    if (it != Holds().end()) {
      // Closing our copy leaves the parent's lock in place.
      Holds().erase(it);
    }
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  for (;;) {
    UniqueFd fd = TryLock(path);
    if (fd) {
      std::lock_guard<std::mutex> guard(HoldsMutex());
      Holds()[path] = Held{std::move(fd), 1, getpid()};
      return std::unique_ptr<NamedLock>(new NamedLock(path));
    }
    if (std::chrono::steady_clock::now() >= deadline) return nullptr;
    std::this_thread::sleep_for(kPollPause);
  }
}

bool NamedLock::IsHeld(std::string_view name) {
  return LockFileHeld(LockPath(Prefix() + "/run", name));
}

NamedLock::~NamedLock() {
  std::lock_guard<std::mutex> guard(HoldsMutex());
  auto it = Holds().find(path_);
  if (it == Holds().end() || it->second.owner != getpid()) return;
  if (--it->second.count > 0) return;
  Holds().erase(it);  // closing the descriptor releases the lock
}

}  // namespace zvrx::platform
