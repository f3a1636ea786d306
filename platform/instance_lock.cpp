#include "platform/instance_lock.h"

#include "platform/drives.h"
#include "platform/lock_file.h"

namespace zvrx::platform {
namespace {

std::string LockPath(const std::string& run, std::string_view window_class,
                     std::string_view title) {
  return run + "/" + RunFileName(window_class) + "." + RunFileName(title) + ".lock";
}

}  // namespace

std::unique_ptr<InstanceLock> InstanceLock::Acquire(std::string_view window_class,
                                                    std::string_view title) {
  std::string run = RunFolder();
  if (run.empty()) return nullptr;
  std::unique_ptr<InstanceLock> lock(new InstanceLock);
  lock->path_ = LockPath(run, window_class, title);
  lock->fd_ = LockFileExclusive(lock->path_);
  if (!lock->fd_) return nullptr;
  return lock;
}

bool InstanceLock::IsHeld(std::string_view window_class, std::string_view title) {
  return LockFileHeld(LockPath(Prefix() + "/run", window_class, title));
}

InstanceLock::~InstanceLock() { ReleaseLockFile(fd_, path_); }

}  // namespace zvrx::platform
