// Named locks between processes of one machine: a lock file
// <prefix>/run/<name>.lock held with flock. They guard read-modify-write
// sequences on shared files (the settings records, one check at a time) and
// die with their holder, so a crashed writer never blocks the next one.
//
// Within one process a name may be taken again while it is held (the
// settings commands hold the settings lock around a save that takes it
// too); the process's holds are counted and the file is released with the
// last one. It is no lock between threads of one process.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace zvrx::platform {

class NamedLock {
 public:
  // Waits at most `wait_ms` (0: not at all) for the lock; nullptr when
  // another process still holds it then, or the run folder cannot be made.
  static std::unique_ptr<NamedLock> Acquire(std::string_view name, int wait_ms);
  // Does some live process (this one included) hold the lock?
  static bool IsHeld(std::string_view name);

  ~NamedLock();
  NamedLock(const NamedLock&) = delete;
  NamedLock& operator=(const NamedLock&) = delete;

 private:
  explicit NamedLock(std::string path) : path_(std::move(path)) {}
  std::string path_;
};

}  // namespace zvrx::platform
