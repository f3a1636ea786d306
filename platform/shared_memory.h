// Named shared memory (CreateFileMapping / OpenFileMapping). The name is
// made from the block name and a hash of the prefix, so two prefixes never
// meet. The creator holds an flock on <prefix>/run/<name>.lock for its whole
// life; an opener that finds the lock free treats the block as absent, so a
// crashed creator leaves no phantom block. The creator unlinks it on close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace zvrx::platform {

class SharedMemory {
 public:
  // Creates (or takes over a stale) block of `size` zero bytes.
  // nullptr on failure, with *error set to errno.
  static std::unique_ptr<SharedMemory> Create(std::string_view name, size_t size,
                                              int* error);
  // Opens an existing block whose creator is alive; nullptr (and *error,
  // ENOENT when absent) otherwise.
  static std::unique_ptr<SharedMemory> Open(std::string_view name, size_t size, int* error);

  ~SharedMemory();
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;

  // The mapped bytes; other processes change them at any time.
  volatile uint8_t* data() { return data_; }
  size_t size() const { return size_; }

 private:
  SharedMemory() = default;
  volatile uint8_t* data_ = nullptr;
  size_t size_ = 0;
  UniqueFd lock_fd_;        // creator only
  bool creator_ = false;
  std::string lock_path_;   // creator only
  char shm_name_[128] = {};
};

// Unlinks every block of the current prefix whose creator is gone: a
// creator killed before its destructor ran leaves its block in /dev/shm.
// Returns how many were removed.
int RemoveStaleSharedMemory();

}  // namespace zvrx::platform
