#include "platform/held_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/drives.h"

namespace zvrx::platform {

HeldFile::~HeldFile() { Close(); }

bool HeldFile::Open(std::string_view path) {
  Close();
  fd_ = open(HostPath(path).c_str(), O_RDONLY | O_CLOEXEC);
  return fd_ >= 0;
}

void HeldFile::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool HeldFile::ReadAt(int64_t offset, void* out, size_t size) const {
  if (fd_ < 0 || offset < 0) return false;
  char* to = static_cast<char*>(out);
  while (size > 0) {
    const ssize_t got = pread(fd_, to, size, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;  // an error, or the file ends early
    to += got;
    offset += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

}  // namespace zvrx::platform
