// A file kept open for reading while a window shows it (the work log while
// its page is open). Unlike a Windows handle opened without sharing, it
// blocks nobody: the checker can still append to the file, and it can be
// deleted, while it is held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/unique_fd.h"

namespace zvrx::platform {

class HeldFile {
 public:
  HeldFile() = default;
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  // Opens a Windows path for reading; an open file is released first.
  bool Open(std::string_view path);
  void Close();
  bool IsOpen() const { return fd_.valid(); }
  // Exactly `size` bytes at `offset`; false when fewer could be read.
  bool ReadAt(int64_t offset, void* out, size_t size) const;

 private:
  UniqueFd fd_;
};

}  // namespace zvrx::platform
