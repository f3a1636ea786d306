#include "platform/lock_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/cp932.h"
#include "platform/drives.h"

namespace zvrx::platform {
namespace {

// A prober (LockFileHeld) holds a shared lock for an instant; an exclusive
// attempt that meets it tries again a few times before calling it held.
constexpr int kLockAttempts = 5;
constexpr auto kLockRetryPause = std::chrono::milliseconds(4);

}  // namespace

std::string RunFolder() {
  std::string folder = Prefix() + "/run";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return std::string();
  // Lock files name the programs' windows: the owner's business alone.
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all, error);
  return folder;
}

std::string RunFileName(std::string_view cp932_name) {
  std::string name = Cp932ToUtf8(cp932_name);
  for (char& c : name) {
    if (c == '/' || c == '\0') c = '_';
  }
  if (name == "." || name == "..") name = "_" + name;
  return name;
}

UniqueFd LockFileExclusive(const std::string& path) {
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    UniqueFd fd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd) return fd;
    if (flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
      // The previous owner may have removed the file between our open and
      // our lock; a lock on a removed file guards nothing.
      struct stat held, named;
      if (fstat(fd.get(), &held) == 0 && stat(path.c_str(), &named) == 0 &&
          held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
        return fd;
      }
      continue;
    }
    int error = errno;
    fd.reset();
    if (error != EWOULDBLOCK) {
      errno = error;
      return fd;
    }
    std::this_thread::sleep_for(kLockRetryPause);
  }
  errno = EWOULDBLOCK;
  return UniqueFd();
}

bool LockFileHeld(const std::string& path) {
  const UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return false;
  // Closing `fd` also drops our shared lock.
  return flock(fd.get(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

void ReleaseLockFile(UniqueFd& fd, const std::string& path) {
  if (!fd) return;
  unlink(path.c_str());
  fd.reset();
}

}  // namespace zvrx::platform
