#include "platform/held_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/drives.h"
#include "platform/retry.h"

namespace zvrx::platform {

bool HeldFile::Open(std::string_view path) {
  Close();
  fd_.reset(open(HostPath(path).c_str(), O_RDONLY | O_CLOEXEC));
  return fd_.valid();
}

void HeldFile::Close() { fd_.reset(); }

bool HeldFile::ReadAt(int64_t offset, void* out, size_t size) const {
  if (!fd_ || offset < 0) return false;
  char* to = static_cast<char*>(out);
  while (size > 0) {
    const ssize_t got =
        RetryOnInterrupt([&] { return pread(fd_.get(), to, size, static_cast<off_t>(offset)); });
    if (got <= 0) return false;  // an error, or the file ends early
    to += got;
    offset += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

}  // namespace zvrx::platform
